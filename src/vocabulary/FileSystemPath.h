#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace rheo {

// A path as the program carries it (UTF-8 bytes on Windows, the file system's own bytes
// elsewhere) in the standard library's form, for its questions about files (exists, status).
// On Windows the standard library would read a narrow string in the ANSI code page and lose
// every name outside it. Bytes that are not UTF-8 (a file's Windows-1252 text taken for a
// path) give the empty path, which names no file, as platform/win32/WidePath does.
inline std::filesystem::path FileSystemPath(std::string_view path) {
#ifdef _WIN32
    try {
        return std::filesystem::path(std::u8string(path.begin(), path.end()));
    } catch (const std::system_error&) {
        return {};
    }
#else
    return std::filesystem::path(std::string(path));
#endif
}

// The program's form of a path the standard library gives (UTF-8 on Windows), the inverse of
// FileSystemPath.
inline std::string PathText(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

}  // namespace rheo
