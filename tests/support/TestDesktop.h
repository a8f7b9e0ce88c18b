#pragma once
// A desktop of the test program's own, made before anything asks the desktop: home, data and
// configuration folders in a temporary folder, a file-type table that knows HTML pages and text
// files, no desktop environment's tools; and applications made the desktop's choice for a type.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"

namespace rheo::test {

class TestDesktop {
  public:
    TestDesktop() {
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
            std::filesystem::create_directories(folders_.File(name));
            ::setenv(name, folders_.File(name).c_str(), 1);
        }
        ::setenv("XDG_CURRENT_DESKTOP", "X-Generic", 1);
        std::filesystem::create_directories(folders_.File("XDG_DATA_HOME/applications"));
        std::filesystem::create_directories(folders_.File("XDG_DATA_HOME/mime"));
        WriteFile(folders_.File("XDG_DATA_HOME/mime/globs2"),
                  "50:text/html:*.htm\n50:text/plain:*.txt\n");
    }

  private:
    TempDir folders_;
};

inline std::string WriteScript(const std::string& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// Makes the application of a desktop entry at relativePath under the applications folder (its
// id is that path with '-' for '/') the desktop's one choice, for the type, as "xdg-mime default"
// does; an empty exec removes the entry and the choice. The desktop notices it a moment later.
inline void ChooseApplication(const std::string& type, const std::string& relativePath,
                              const std::string& exec, const std::string& moreLines = "") {
    const std::filesystem::path entry =
        std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "applications" / relativePath;
    std::string id = relativePath;
    std::replace(id.begin(), id.end(), '/', '-');
    std::filesystem::create_directories(entry.parent_path());
    if (exec.empty()) {
        std::filesystem::remove(entry);
    } else {
        WriteFile(entry.string(), "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + exec +
                                      "\nMimeType=" + type + ";\n" + moreLines);
    }
    WriteFile(std::getenv("XDG_CONFIG_HOME") + std::string("/mimeapps.list"),
              "[Default Applications]\n" + (exec.empty() ? "" : type + "=" + id + "\n"));
}

}  // namespace rheo::test
