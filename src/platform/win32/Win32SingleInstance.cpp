#include "platform/win32/Win32SingleInstance.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace rheo {

Win32SingleInstance::~Win32SingleInstance() {
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

bool Win32SingleInstance::Acquire() {
    if (mutex_ != nullptr) {
        return true;
    }
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name_.c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // Access denied: a copy started by another account (elevated) holds the name. Any
        // other failure leaves nothing to detect a second copy with, so this copy runs.
        return error != ERROR_ACCESS_DENIED;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    mutex_ = mutex;
    return true;
}

}  // namespace rheo
