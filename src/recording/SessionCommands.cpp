#include "recording/SessionCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace rheo {
namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error);
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
    session_.HeaderPending = true;
    StartSession(path, true);
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
    const std::string path = OpenSessionPath(*chosen, extension);
    // A header goes only into a file that does not exist yet: never into the middle of one,
    // even when a header was still pending from a session closed before any reading.
    session_.HeaderPending = !FileExists(path);
    StartSession(path, false);
}

void SessionCommands::StartSession(const std::string& path, bool emptied) {
    file_.Close();  // the previous session's file, when there is one
    session_.SessionFilePath = path;
    const bool opened = emptied ? file_.OpenForWriting(path) : file_.OpenForAppending(path);
    if (!opened) {
        output_.AbandonSession();  // at once, not with a lost reading later
        return;
    }
    view_.SetCaption(kCaptionPrefix + path);
    view_.SetCloseCommandEnabled(true);
}

void SessionCommands::CerrarArchivo() {
    file_.Close();
    session_.SessionFilePath.clear();
    session_.ProcessStarted = false;
    view_.SetCloseCommandEnabled(false);
    view_.SetCaption(kNoFileCaption);
}

}  // namespace rheo
