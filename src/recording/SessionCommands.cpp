#include "recording/SessionCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "vocabulary/FileSystemPath.h"

namespace rheo {
namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(FileSystemPath(path), error);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string NewSessionPath(const std::string& chosen, const Text& extension) {
    if (chosen.find("." + extension) != std::string::npos) {
        return chosen;
    }
    return chosen + "." + extension;
}

std::string OpenSessionPath(const std::string& chosen, const Text& extension) {
    if (Lower(chosen).find(Lower(extension)) != std::string::npos) {
        return chosen;
    }
    return chosen + "." + extension;
}

void SessionCommands::NuevoArchivo() {
    const Text& extension = configuration_.FileExtension;
    const auto chosen = dialog_.ChooseFile(
        kSelectDestinationFile, {{"Comma Separated text *." + extension, "*." + extension}},
        "*." + extension);
    if (!chosen) {
        return;
    }
    // The question is asked about the file that would really be emptied: the name after the
    // extension rule, so "run1" never empties an existing "run1.csv" unasked.
    const std::string path = NewSessionPath(*chosen, extension);
    if (FileExists(path) && boxes_.Show(kOverwriteQuestion, kProgramTitle, MessageIcon::None,
                                        MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    output_.StartSession(path, SessionStart::New);
}

void SessionCommands::AbrirArchivo() {
    const Text& extension = configuration_.FileExtension;
    const auto chosen = dialog_.ChooseFile(
        kSelectDestinationFile,
        {{"Comma separated text *." + extension, "*." + extension}, {"All files *.*", "*.*"}},
        "*." + extension);
    if (!chosen) {
        return;
    }
    output_.StartSession(OpenSessionPath(*chosen, extension), SessionStart::Append);
}

}  // namespace rheo
