#include "platform/ProgramLocation.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <string>

#include "platform/win32/WidePath.h"

namespace rheo {
namespace {

// The names come from the system in UTF-16 and go on in UTF-8.
std::string ModuleFileName() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return Utf8Path(buffer);
        }
        buffer.resize(buffer.size() * 2);  // truncated: try again with more room
    }
}

std::string EnvironmentVariable(const wchar_t* name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) {
        return {};
    }
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    if (length == 0 || length >= needed) {
        return {};
    }
    value.resize(length);
    return Utf8Path(value);
}

std::string LocalAppData() {
    std::string base = EnvironmentVariable(L"LOCALAPPDATA");
    if (!base.empty()) {
        return base;
    }
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder))) {
        return Utf8Path(folder);
    }
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    base = Utf8Path(std::wstring_view(temp, length));
    while (!base.empty() && (base.back() == '\\' || base.back() == '/')) {
        base.pop_back();
    }
    return base;
}

}  // namespace

std::string ExecutableDirectory() {
    std::string path = ModuleFileName();
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) {
        return {};
    }
    path.resize(separator);  // "C:\prog\rheo.exe" gives "C:\prog", "C:\rheo.exe" gives "C:"
    return path;
}

std::string UserDataDirectory() {
    const std::string directory = LocalAppData() + "\\rheotrackpanel";
    CreateDirectoryW(WidePath(directory).c_str(), nullptr);  // already there is fine
    return directory;
}

bool DirectoryWritable(const std::string& directory) {
    // Attributes and access lists do not tell everything (a read-only medium, a share): the
    // only sure answer is a file that can be created there.
    const std::string base = directory + "\\~rheo-probe-" + std::to_string(GetCurrentProcessId());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::wstring probe = WidePath(base + "-" + std::to_string(attempt) + ".tmp");
        const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileW(probe.c_str());
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

char PathSeparator() {
    return '\\';
}

}  // namespace rheo
