#include "WindowsService.h"

#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/win32/WidePath.h"
#include "vocabulary/FileSystemPath.h"

namespace rheo::logger {
namespace {

// One service per process: what its dispatcher thread and the event loop's thread share.
std::wstring g_name;
std::function<void()> g_stop;
SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_started = nullptr;  // ServiceMain has run, or the dispatcher has failed
HANDLE g_ended = nullptr;    // the logger has ended
DWORD g_exitStatus = 0;
std::thread g_dispatcher;

void Report(DWORD state, DWORD exitStatus = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitStatus;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 10000;
    SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING);
            QMetaObject::invokeMethod(QCoreApplication::instance(), g_stop, Qt::QueuedConnection);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    g_status = RegisterServiceCtrlHandlerExW(g_name.c_str(), OnControl, nullptr);
    if (g_status == nullptr) {
        SetEvent(g_started);
        return;
    }
    Report(SERVICE_START_PENDING);
    SetEvent(g_started);
    WaitForSingleObject(g_ended, INFINITE);
    Report(SERVICE_STOPPED, g_exitStatus);
}

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

void Refused(const char* what, const std::string& name) {
    std::fprintf(stderr, "rheotrack-logger: %s the service %s: Windows error %lu\n", what,
                 name.c_str(), GetLastError());
}

}  // namespace

int InstallService(const std::string& name, std::vector<std::string> options) {
    for (std::size_t i = 0; i < options.size(); ++i) {
        std::string& option = options[i];
        for (const char* named : {"--output", "--append", "--output-dir", "--config", "--log"}) {
            const std::string prefix = std::string(named) + "=";
            if (option == named && i + 1 < options.size()) {
                options[i + 1] =
                    PathText(std::filesystem::absolute(FileSystemPath(options[i + 1])));
                ++i;
            } else if (option.starts_with(prefix)) {
                option = prefix + PathText(std::filesystem::absolute(
                                      FileSystemPath(option.substr(prefix.size()))));
            }
        }
    }
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    std::wstring command = Quoted(program) + L" --service " + Quoted(WidePath(name));
    for (const std::string& option : options) {
        command += L" " + Quoted(WidePath(option));
    }
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (manager == nullptr) {
        Refused("cannot register", name);
        return 1;
    }
    const std::wstring display = L"RHEOTRACKPANEL logger " + WidePath(name);
    SC_HANDLE service =
        CreateServiceW(manager, WidePath(name).c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service == nullptr) {
        Refused("cannot register", name);
        CloseServiceHandle(manager);
        return 1;
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    std::fprintf(stderr, "rheotrack-logger: registered the service %s (started at boot)\n",
                 name.c_str());
    return 0;
}

int RemoveService(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager == nullptr
                            ? nullptr
                            : OpenServiceW(manager, WidePath(name).c_str(),
                                           SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (service == nullptr) {
        Refused("cannot remove", name);
        if (manager != nullptr) {
            CloseServiceHandle(manager);
        }
        return 1;
    }
    // A running logger ends cleanly first: its row finished, its file closed.
    SERVICE_STATUS status{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        for (int i = 0; i < 300 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
            Sleep(100);
            QueryServiceStatus(service, &status);
        }
    }
    const bool removed = DeleteService(service) != 0;
    if (!removed) {
        Refused("cannot remove", name);
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (removed) {
        std::fprintf(stderr, "rheotrack-logger: removed the service %s\n", name.c_str());
    }
    return removed ? 0 : 1;
}

ServiceSession::ServiceSession(const std::string& name, std::function<void()> stop) {
    g_name = WidePath(name);
    g_stop = std::move(stop);
    g_started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_dispatcher = std::thread([] {
        static SERVICE_TABLE_ENTRYW table[] = {{g_name.data(), ServiceMain}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table)) {
            SetEvent(g_started);
        }
    });
    WaitForSingleObject(g_started, INFINITE);
    connected_ = g_status != nullptr;
}

void ServiceSession::Running() {
    if (connected_) {
        Report(SERVICE_RUNNING);
    }
}

void ServiceSession::Stopped(int status) {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    g_exitStatus = static_cast<DWORD>(status);
    SetEvent(g_ended);
    if (g_dispatcher.joinable()) {
        g_dispatcher.join();
    }
}

ServiceSession::~ServiceSession() {
    Stopped(0);
}

}  // namespace rheo::logger
