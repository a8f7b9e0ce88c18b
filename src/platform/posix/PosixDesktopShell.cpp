#include "platform/posix/PosixDesktopShell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>

extern char** environ;

namespace rheo {
namespace {

constexpr int kExecFailed = 127;  // what a shell reports for a command it could not run
constexpr std::size_t kMaxCapture = 64 * 1024;

// The program a command name runs: the name itself when it holds a slash, otherwise the first
// executable file of that name along PATH. Empty when there is none.
std::string FindProgram(const std::string& name) {
    auto executable = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
               ::access(path.c_str(), X_OK) == 0;
    };
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return executable(name) ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    const std::string directories =
        (path != nullptr && *path) ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos) {
            end = directories.size();
        }
        const std::string directory = directories.substr(start, end - start);
        const std::string candidate =
            (directory.empty() ? std::string(".") : directory) + "/" + name;
        if (executable(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::vector<char*> ArgumentVector(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return argv;
}

std::string Trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

struct Captured {
    bool started = false;
    int exitStatus = -1;  // -1 when killed by a signal
    std::string output;   // standard output, trimmed
};

// Runs a short query command to its end and keeps what it prints; its input and error output
// go to /dev/null.
Captured RunQuery(std::vector<std::string> arguments) {
    Captured result;
    const std::string program = FindProgram(arguments.front());
    if (program.empty()) {
        return result;
    }
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = ArgumentVector(arguments);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        return result;
    }
    result.started = true;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(output[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        if (text.size() < kMaxCapture) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(output[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return result;
        }
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = Trimmed(text);
    return result;
}

bool ToolMissing(const Captured& run) {
    return !run.started || run.exitStatus == kExecFailed;
}

std::string LowerExtension(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    const std::size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = file.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

// Writes errno to the report pipe and ends the child; only async-signal-safe calls.
[[noreturn]] void ReportAndExit(int reportFd, int code) {
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(reportFd, &error, sizeof error);
    ::_exit(code);
}

}  // namespace

PosixDesktopShell::PosixDesktopShell(std::string lookupTool, std::string openTool)
    : lookupTool_(std::move(lookupTool)), openTool_(std::move(openTool)) {}

std::string PosixDesktopShell::MimeType(const std::string& file, bool& toolMissing) {
    toolMissing = false;
    const std::string extension = LowerExtension(file);
    if (extension == "htm" || extension == "html") {
        return "text/html";
    }
    if (extension == "txt") {
        return "text/plain";
    }
    const Captured run = RunQuery({lookupTool_, "query", "filetype", file});
    toolMissing = ToolMissing(run);
    return run.exitStatus == 0 ? run.output : std::string();
}

int PosixDesktopShell::FindExecutable(const std::string& file) {
    if (::access(file.c_str(), F_OK) != 0) {
        return kNotFound;
    }
    bool toolMissing = false;
    const std::string mimeType = MimeType(file, toolMissing);
    if (toolMissing) {
        return kNotFound;
    }
    if (mimeType.empty()) {
        return kNoAssociation;
    }
    const Captured run = RunQuery({lookupTool_, "query", "default", mimeType});
    if (ToolMissing(run)) {
        return kNotFound;
    }
    // The tool names the handler's .desktop entry, or prints nothing when there is none.
    return run.exitStatus == 0 && !run.output.empty() ? kFound : kNoAssociation;
}

bool PosixDesktopShell::Open(const std::string& target, bool /*maximised*/) {
    const std::string program = FindProgram(openTool_);
    if (program.empty()) {
        return false;
    }
    std::vector<std::string> arguments{openTool_, target};
    std::vector<char*> argv = ArgumentVector(arguments);

    // The opener runs as a grandchild in a session of its own: the intermediate child ends at
    // once and is reaped here, so the opener belongs to no one in this process and leaves no
    // zombie behind. A pipe closed on exec tells whether the opener could be started.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            ReportAndExit(report[1], 1);
        }
        if (grandchild > 0) {
            ::_exit(0);
        }
        const int nullInput = ::open("/dev/null", O_RDONLY);
        if (nullInput > STDIN_FILENO) {
            ::dup2(nullInput, STDIN_FILENO);
            ::close(nullInput);
        }
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
            ::sigaction(signal, &defaults, nullptr);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(program.c_str(), argv.data(), environ);
        ReportAndExit(report[1], kExecFailed);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = 0;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace rheo
