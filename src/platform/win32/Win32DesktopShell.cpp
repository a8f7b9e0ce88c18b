#include "platform/win32/Win32DesktopShell.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
// shellapi.h maps FindExecutable to FindExecutableA; here it is the name of the member.
#undef FindExecutable

#include "platform/win32/WidePath.h"

namespace rheo {

int Win32DesktopShell::FindExecutable(const std::string& file) {
    wchar_t program[MAX_PATH] = {};
    const HINSTANCE result = FindExecutableW(WidePath(file).c_str(), nullptr, program);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

bool Win32DesktopShell::Open(const std::string& target, bool maximised) {
    // No mask: the shell reports its own errors and the call does not wait for the program.
    const std::wstring wideTarget = WidePath(target);
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = 0;
    request.hwnd = reinterpret_cast<HWND>(owner_);
    request.lpVerb = L"open";
    request.lpFile = wideTarget.c_str();
    request.lpParameters = nullptr;
    request.lpDirectory = nullptr;
    request.nShow = maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    return ShellExecuteExW(&request) != FALSE;
}

}  // namespace rheo
