#pragma once
#include <optional>
#include <vector>

#include "vocabulary/Text.h"

namespace rheo {

enum class MessageIcon { None, Information, Critical };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

// Modal message boxes. Texts and titles are Windows-1252.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer Show(const Text& text, const Text& title, MessageIcon icon,
                               MessageButtons buttons) = 0;
};

struct FileFilter {
    Text description;
    Text pattern;
};

// The save-style file dialog. Returns the full path chosen (in the file system's own
// encoding), or nothing when the user cancels. It never asks its own overwrite question.
class FileDialog {
  public:
    virtual ~FileDialog() = default;
    virtual std::optional<std::string> ChooseFile(const Text& title,
                                                  const std::vector<FileFilter>& filters,
                                                  const Text& defaultExtension) = 0;
};

}  // namespace rheo
