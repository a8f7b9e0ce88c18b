#include "SerialOutput.h"

#include "platform/win32/Win32SerialLink.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cctype>

namespace rheo::sim {
namespace {

// "COM3" or "\\.\COM3" name a serial port; anything else is a file.
bool IsComPort(const std::string& device, std::string& path) {
    std::string name = device;
    if (name.rfind("\\\\.\\", 0) == 0) {
        name = name.substr(4);
    }
    if (name.size() < 4 || name.size() > 6 || _strnicmp(name.c_str(), "COM", 3) != 0) {
        return false;
    }
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    path = "\\\\.\\" + name;
    return true;
}

std::string LastError(const std::string& device) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    std::string message = device + ": " + text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message;
}

}  // namespace

SerialOutput::~SerialOutput() {
    if (own_ && handle_ != nullptr) {
        FlushFileBuffers(static_cast<HANDLE>(handle_));
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}

bool SerialOutput::Open(const std::string& device) {
    if (device.empty() || device == "-") {
        handle_ = GetStdHandle(STD_OUTPUT_HANDLE);
        own_ = false;
        return true;
    }
    std::string path;
    const bool port = IsComPort(device, path);
    // A COM port is opened for reading too: its line settings cannot be read or set otherwise.
    const HANDLE handle = CreateFileA(
        port ? path.c_str() : device.c_str(), port ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE,
        port ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error_ = LastError(device);
        return false;
    }
    handle_ = handle;
    own_ = true;
    if (port && !ConfigureInstrumentLine(handle)) {
        error_ = LastError(device);
        return false;
    }
    return true;
}

bool SerialOutput::Write(std::string_view text) {
    const auto handle = static_cast<HANDLE>(handle_);
    while (!text.empty()) {
        if (stop_ != nullptr && *stop_ != 0) {
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
            const DWORD error = GetLastError();
            brokenPipe_ = error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA;
            error_ = LastError("write");
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace rheo::sim
