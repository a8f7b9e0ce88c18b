#include "platform/win32/Win32DesktopShell.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
// shellapi.h maps FindExecutable to FindExecutableA; here it is the name of the member.
#undef FindExecutable

namespace rheo {

int Win32DesktopShell::FindExecutable(const std::string& file) {
    char program[MAX_PATH] = {};
    const HINSTANCE result = FindExecutableA(file.c_str(), nullptr, program);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

bool Win32DesktopShell::Open(const std::string& target, bool maximised) {
    // No mask: the shell reports its own errors and the call does not wait for the program.
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof request;
    request.fMask = 0;
    request.hwnd = reinterpret_cast<HWND>(owner_);
    request.lpVerb = "open";
    request.lpFile = target.c_str();
    request.lpParameters = nullptr;
    request.lpDirectory = nullptr;
    request.nShow = maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    return ShellExecuteExA(&request) != FALSE;
}

}  // namespace rheo
