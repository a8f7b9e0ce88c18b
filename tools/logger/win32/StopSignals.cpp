#include "StopSignals.h"

#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace rheo::logger {
namespace {

// The console's requests arrive on a thread of their own, which Windows starts for each one.
// They are posted to the event loop's thread; the handler touches nothing else.
StopSignals* g_signals = nullptr;
HANDLE g_stopped = nullptr;  // set once the clean end has run

// How long the console's close waits for the clean end: Windows ends the process when the
// handler returns, and on its own after about 5 s.
constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI OnConsoleRequest(DWORD request) {
    switch (request) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        case CTRL_LOGOFF_EVENT:
            // A service, which has no console, goes on when the user logs off.
            if (GetConsoleWindow() == nullptr) {
                return TRUE;
            }
            break;
        default:
            return FALSE;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            if (g_signals != nullptr) {
                g_signals->RequestStop();
            }
        },
        Qt::QueuedConnection);
    if (request != CTRL_C_EVENT && request != CTRL_BREAK_EVENT) {
        // The console goes away: the process ends as soon as this returns.
        WaitForSingleObject(g_stopped, kCloseWaitMs);
    }
    return TRUE;
}

}  // namespace

// Windows has no SIGHUP: a rotated event log is found again at its next entry anyway, since the
// log is opened for every entry, so `hangUp` is never called here.
StopSignals::StopSignals(std::function<void()> stop, std::function<void()> hangUp, QObject* parent)
    : QObject(parent), stop_(std::move(stop)), hangUp_(std::move(hangUp)) {
    g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_signals = this;
    SetConsoleCtrlHandler(OnConsoleRequest, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleRequest, FALSE);
    g_signals = nullptr;
    if (g_stopped != nullptr) {
        SetEvent(g_stopped);  // a close still waiting lets the process end
    }
}

void StopSignals::RequestStop() {
    Deliver(0);
}

void StopSignals::Deliver(int) {
    if (stop_) {
        stop_();
    }
    if (g_stopped != nullptr) {
        SetEvent(g_stopped);
    }
}

}  // namespace rheo::logger
