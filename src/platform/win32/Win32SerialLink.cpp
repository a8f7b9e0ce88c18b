#include "platform/win32/Win32SerialLink.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>

namespace rheo {
namespace {

constexpr UINT kArrivalMessage = WM_APP + 1;
constexpr UINT kLossMessage = WM_APP + 2;
constexpr const char* kWindowClass = "RheotrackSerialLink";

constexpr DWORD kReceiveBufferBytes = 1024;
constexpr DWORD kTransmitBufferBytes = 512;
// A read waits this long for its first byte; an idle line thus costs one wake-up a second, in
// which the reader makes sure the device is still there.
constexpr DWORD kIdleCheckMs = 1000;
// Reads that end empty long before the idle time, this many in a row, mean a device that only
// answers with nothing (a hung-up line under some drivers): it is taken as gone rather than
// read in a spin.
constexpr int kEarlyEmptyLimit = 50;

LRESULT CALLBACK LinkWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kArrivalMessage || message == kLossMessage) {
        auto* link = reinterpret_cast<Win32SerialLink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (link != nullptr) {
            link->OnMessage(message, static_cast<std::uintptr_t>(wParam));
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE ThisModule() {
    return GetModuleHandleA(nullptr);
}

void RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = LinkWindowProcedure;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExA(&windowClass) != 0;
    }();
    (void)registered;
}

// Whether the driver still answers for the device.
bool DriverAnswers(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status = {};
    return ClearCommError(port, &errors, &status) != FALSE;
}

}  // namespace

bool ConfigureInstrumentLine(void* handle) {
    const auto port = static_cast<HANDLE>(handle);
    SetupComm(port, kReceiveBufferBytes, kTransmitBufferBytes);  // a driver may ignore the sizes
    DCB line = {};
    line.DCBlength = sizeof line;
    if (!GetCommState(port, &line)) {
        return false;
    }
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fDsrSensitivity = FALSE;
    line.fTXContinueOnXoff = TRUE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;  // a NUL from the line is a character like any other
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fAbortOnError = FALSE;
    if (!SetCommState(port, &line)) {
        return false;
    }
    // A read ends as soon as one byte is there, or empty after the idle time. A write may take
    // about a millisecond a character at 9600 baud, and a second more.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kIdleCheckMs;
    timeouts.WriteTotalTimeoutMultiplier = 2;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(port, &timeouts)) {
        return false;
    }
    // DTR_CONTROL_ENABLE and RTS_CONTROL_ENABLE raise the lines; a port without modem lines (a
    // virtual one) refuses these, harmlessly.
    EscapeCommFunction(port, SETDTR);
    EscapeCommFunction(port, SETRTS);
    return true;
}

Win32SerialLink::Win32SerialLink() {
    RegisterWindowClass();
    HWND window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ThisModule(), nullptr);
    if (window != nullptr) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    window_ = window;
    room_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

Win32SerialLink::~Win32SerialLink() {
    notification_ = nullptr;
    Close();
    if (window_ != nullptr) {
        DestroyWindow(static_cast<HWND>(window_));  // messages still queued for it go with it
    }
    if (room_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(room_));
    }
}

std::string Win32SerialLink::DeviceName(int port) {
    if (port < 1) {
        return {};
    }
    return "\\\\.\\COM" + std::to_string(port);
}

bool Win32SerialLink::Open() {
    if (IsOpen()) {
        return true;
    }
    const std::string device = DeviceName(portNumber_);
    if (device.empty() || window_ == nullptr || room_ == nullptr) {
        return false;
    }
    // No sharing: while this program holds the port, no other may open it.
    const HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return false;
    }
    const HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (stop == nullptr || !ConfigureInstrumentLine(port)) {
        if (stop != nullptr) {
            CloseHandle(stop);
        }
        CloseHandle(port);
        return false;
    }
    port_ = port;
    stop_ = stop;
    ++opening_;
    reader_ = std::thread(&Win32SerialLink::ReaderLoop, this, port, stop, opening_);
    return true;
}

bool Win32SerialLink::Close() {
    if (!IsOpen()) {
        return true;
    }
    SetEvent(static_cast<HANDLE>(stop_));
    if (reader_.joinable()) {
        reader_.join();
    }
    CloseHandle(static_cast<HANDLE>(port_));
    CloseHandle(static_cast<HANDLE>(stop_));
    port_ = nullptr;
    stop_ = nullptr;
    ++opening_;  // messages of the reader that just ended are stale now
    return true;
}

Text Win32SerialLink::ReadAll() {
    Text taken;
    taken.swap(piece_);
    bool more = false;
    {
        std::lock_guard lock(mutex_);
        more = !received_.empty();
    }
    if (more) {
        PostArrival(opening_);  // the next piece at the next turn of the event loop
    }
    return taken;
}

bool Win32SerialLink::HandOver() {
    if (piece_.empty()) {
        std::lock_guard lock(mutex_);
        piece_.swap(received_);
        SetEvent(static_cast<HANDLE>(room_));
    }
    return !piece_.empty();
}

bool Win32SerialLink::Write(std::string_view text) {
    if (!IsOpen()) {
        return false;
    }
    if (text.empty()) {
        return true;
    }
    OVERLAPPED request = {};
    request.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (request.hEvent == nullptr) {
        return false;
    }
    const auto size = static_cast<DWORD>(text.size());
    DWORD written = 0;
    BOOL done = WriteFile(static_cast<HANDLE>(port_), text.data(), size, &written, &request);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
        done = GetOverlappedResult(static_cast<HANDLE>(port_), &request, &written, TRUE);
    }
    CloseHandle(request.hEvent);
    return done && written == size;
}

void Win32SerialLink::SetNotification(Notification notification) {
    notification_ = std::move(notification);
}

void Win32SerialLink::Post(unsigned message, std::uintptr_t opening) {
    PostMessageA(static_cast<HWND>(window_), message, static_cast<WPARAM>(opening), 0);
}

void Win32SerialLink::PostArrival(std::uintptr_t opening) {
    if (!arrivalPosted_.exchange(true)) {
        Post(kArrivalMessage, opening);
    }
}

void Win32SerialLink::ReaderLoop(void* portHandle, void* stopHandle, std::uintptr_t opening) {
    const auto port = static_cast<HANDLE>(portHandle);
    const HANDLE readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (readDone == nullptr) {
        Post(kLossMessage, opening);
        return;
    }
    const HANDLE waits[2] = {static_cast<HANDLE>(stopHandle), readDone};
    const HANDLE roomWaits[2] = {static_cast<HANDLE>(stopHandle), static_cast<HANDLE>(room_)};
    char buffer[kReceiveBufferBytes];
    OVERLAPPED request = {};
    bool pending = false;
    int earlyEmpty = 0;
    bool lost = false;
    auto keep = [this, &buffer](DWORD count) {
        std::lock_guard lock(mutex_);
        received_.append(buffer, count);
    };
    // How much more the reader may keep; when none, the room event is reset under the same
    // lock as the handing over sets it, so that no handing over is missed.
    auto room = [this]() -> std::size_t {
        std::lock_guard lock(mutex_);
        const std::size_t free = kPieceBytes - std::min(kPieceBytes, received_.size());
        if (free == 0) {
            ResetEvent(static_cast<HANDLE>(room_));
        }
        return free;
    };
    for (;;) {
        if (!pending && room() == 0) {
            // A full piece waits for the event loop: the rest stays in the driver meanwhile.
            const DWORD woke = WaitForMultipleObjects(2, roomWaits, FALSE, kIdleCheckMs);
            if (woke == WAIT_OBJECT_0) {
                break;  // closing
            }
            if (woke != WAIT_OBJECT_0 + 1 && !DriverAnswers(port)) {
                lost = true;
                break;
            }
            continue;
        }
        // One byte is waited for; what came with it is read at once below. (A read of a whole
        // buffer would, under Wine, wait until the buffer is full.)
        DWORD got = 0;
        BOOL done = FALSE;
        auto started = std::chrono::steady_clock::now();
        if (!pending) {
            request = {};
            request.hEvent = readDone;
            done = ReadFile(port, buffer, 1, &got, &request);
            pending = !done && GetLastError() == ERROR_IO_PENDING;
        }
        if (pending) {
            const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kIdleCheckMs);
            if (woke == WAIT_TIMEOUT) {
                // A quiet line: the read stays posted; the device must still be there.
                if (!DriverAnswers(port)) {
                    lost = true;
                    break;
                }
                continue;
            }
            if (woke != WAIT_OBJECT_0 + 1) {
                // Closing: give up the read, but keep what it may have brought already.
                CancelIo(port);
                if (GetOverlappedResult(port, &request, &got, TRUE) && got > 0) {
                    keep(got);
                }
                break;
            }
            pending = false;
            done = GetOverlappedResult(port, &request, &got, FALSE);
        }
        if (done && got > 0) {
            earlyEmpty = 0;
            keep(got);
            // The rest of what is waiting, up to a buffer at a time and as far as there is
            // room; it is there, so these reads end at once.
            DWORD errors = 0;
            COMSTAT status = {};
            std::size_t free = 0;
            while ((free = room()) > 0 && ClearCommError(port, &errors, &status) &&
                   status.cbInQue > 0) {
                OVERLAPPED more = {};
                more.hEvent = readDone;
                const DWORD wanted = std::min<DWORD>(
                    {status.cbInQue, static_cast<DWORD>(sizeof buffer), static_cast<DWORD>(free)});
                DWORD count = 0;
                BOOL read = ReadFile(port, buffer, wanted, &count, &more);
                if (!read && GetLastError() == ERROR_IO_PENDING) {
                    read = GetOverlappedResult(port, &more, &count, TRUE);
                }
                if (!read || count == 0) {
                    break;
                }
                keep(count);
            }
            PostArrival(opening);
            continue;
        }
        // Nothing came, or the read failed: the device decides. (Wine reports a read that found
        // nothing after all as a broken pipe; Windows reports a removed device in many ways.)
        if (!DriverAnswers(port)) {
            lost = true;
            break;
        }
        const auto waited = std::chrono::steady_clock::now() - started;
        if (waited < std::chrono::milliseconds(kIdleCheckMs / 2)) {
            if (++earlyEmpty > kEarlyEmptyLimit) {
                lost = true;
                break;
            }
            // Not a spin even while it is being judged.
            if (WaitForSingleObject(waits[0], 20) == WAIT_OBJECT_0) {
                break;
            }
        } else {
            earlyEmpty = 0;
        }
    }
    if (pending && lost) {
        CancelIo(port);
        DWORD ignored = 0;
        GetOverlappedResult(port, &request, &ignored, TRUE);
    }
    CloseHandle(readDone);
    if (lost) {
        Post(kLossMessage, opening);
    }
}

void Win32SerialLink::OnMessage(unsigned message, std::uintptr_t opening) {
    if (message == kArrivalMessage) {
        arrivalPosted_ = false;
        // The bytes are handed over whatever opening brought them; only the open one notifies.
        if (HandOver() && opening == opening_ && notification_) {
            notification_(LinkEvent::CharactersReceived);
        }
        return;
    }
    if (message != kLossMessage || opening != opening_ || !IsOpen()) {
        return;  // closed or reopened meanwhile: that opening's loss is nobody's business now
    }
    Close();
    // What came before the loss is still there to be read.
    const bool waiting = HandOver();
    if (notification_) {
        if (waiting) {
            notification_(LinkEvent::CharactersReceived);
        }
        if (notification_) {
            notification_(LinkEvent::LinkLost);
        }
    }
}

}  // namespace rheo
