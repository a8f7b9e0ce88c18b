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
#include <filesystem>
#include <fstream>
#include <vector>

extern char** environ;

namespace rheo {
namespace {

constexpr int kExecFailed = 127;  // what a shell reports for a command it could not run
constexpr std::size_t kMaxCapture = 64 * 1024;

// The entries of a colon-separated list of folders (PATH, XDG_DATA_DIRS), empty ones included.
std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

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
    for (const std::string& directory :
         SplitList((path != nullptr && *path) ? path : "/usr/local/bin:/usr/bin:/bin")) {
        const std::string candidate =
            (directory.empty() ? std::string(".") : directory) + "/" + name;
        if (executable(candidate)) {
            return candidate;
        }
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

// Starts the program with the arguments (the first being its name, looked up in PATH without a
// slash) as a grandchild in a session of its own and returns without waiting for it: the
// intermediate child ends at once and is reaped here, so the program belongs to no one in this
// process and leaves no zombie behind. True when the program was started; a pipe closed on exec
// tells.
bool StartDetached(std::vector<std::string> arguments) {
    if (arguments.empty()) {
        return false;
    }
    const std::string program = FindProgram(arguments.front());
    if (program.empty()) {
        return false;
    }
    std::vector<char*> argv = ArgumentVector(arguments);
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

std::string Environment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value ? std::string(value) : fallback;
}

// The desktop entry named first in the lookup tool's answer ("a.desktop;b.desktop").
std::string FirstEntryId(const std::string& answer) {
    std::string id = answer.substr(0, answer.find_first_of(";\n"));
    id = Trimmed(id);
    if (id.find('/') != std::string::npos || !id.ends_with(".desktop")) {
        return {};
    }
    return id;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The entry with that id under an applications folder: "vendor-app.desktop" is the file of that
// name, or "app.desktop" in the subfolder "vendor".
std::string FindEntryUnder(const std::string& directory, const std::string& id) {
    if (IsRegularFile(directory + "/" + id)) {
        return directory + "/" + id;
    }
    for (std::size_t dash = id.find('-'); dash != std::string::npos;
         dash = id.find('-', dash + 1)) {
        const std::string sub = directory + "/" + id.substr(0, dash);
        if (IsDirectory(sub)) {
            if (std::string found = FindEntryUnder(sub, id.substr(dash + 1)); !found.empty()) {
                return found;
            }
        }
    }
    return {};
}

// The entry's file along the desktop's data folders, the user's first.
std::string FindDesktopEntry(const std::string& id) {
    if (id.empty()) {
        return {};
    }
    const std::string home = Environment("HOME", "");
    std::string directories = Environment("XDG_DATA_HOME", home + "/.local/share");
    directories += ':' + Environment("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    for (const std::string& directory : SplitList(directories)) {
        if (directory.empty()) {
            continue;
        }
        if (std::string found = FindEntryUnder(directory + "/applications", id); !found.empty()) {
            return found;
        }
        // The lookup tool also takes the entry from a subfolder under its plain name.
        std::error_code error;
        for (const auto& sub :
             std::filesystem::directory_iterator(directory + "/applications", error)) {
            const std::string candidate = sub.path().string() + "/" + id;
            if (sub.is_directory(error) && IsRegularFile(candidate)) {
                return candidate;
            }
        }
    }
    return {};
}

// A string value's escapes: \s \n \t \r and \\.
std::string Unescaped(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += value[i];
                break;
        }
    }
    return out;
}

DesktopEntry ReadDesktopEntry(const std::string& path) {
    DesktopEntry entry;
    if (path.empty()) {
        return entry;
    }
    std::ifstream in(path, std::ios::binary);
    std::string line;
    bool inMainGroup = false;
    std::size_t read = 0;
    while (read < kMaxCapture && std::getline(in, line)) {
        read += line.size() + 1;
        line = Trimmed(line);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || line.starts_with('#') || equals == std::string::npos) {
            continue;
        }
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Unescaped(Trimmed(line.substr(equals + 1)));
        if (key == "Exec") {
            entry.exec = value;
        } else if (key == "Name") {
            entry.name = value;
        } else if (key == "Icon") {
            entry.icon = value;
        }
    }
    entry.path = path;
    return entry;
}

// The words of an Exec line: blanks separate them, double quotes hold blanks, and inside quotes
// a backslash takes the next character as it is.
std::vector<std::string> ExecWords(const std::string& exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

// The entry's command line for one address: %u %U %f %F stand for it (given last when the line
// names none), %i for the icon option, %c for the name, %k for the entry's file, %% for "%";
// other field codes are dropped.
std::vector<std::string> CommandLine(const DesktopEntry& entry, const std::string& address) {
    std::vector<std::string> arguments;
    bool addressGiven = false;
    for (const std::string& word : ExecWords(entry.exec)) {
        if (word == "%i") {
            if (!entry.icon.empty()) {
                arguments.insert(arguments.end(), {"--icon", entry.icon});
            }
            continue;
        }
        std::string expanded;
        bool onlyCodes = true;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                expanded += word[i];
                onlyCodes = false;
                continue;
            }
            switch (word[++i]) {
                case 'u':
                case 'U':
                case 'f':
                case 'F':
                    expanded += address;
                    addressGiven = true;
                    onlyCodes = false;
                    break;
                case 'c':
                    expanded += entry.name;
                    onlyCodes = false;
                    break;
                case 'k':
                    expanded += entry.path;
                    onlyCodes = false;
                    break;
                case '%':
                    expanded += '%';
                    onlyCodes = false;
                    break;
                default:
                    break;
            }
        }
        if (!onlyCodes) {
            arguments.push_back(expanded);
        }
    }
    if (!arguments.empty() && !addressGiven) {
        arguments.push_back(address);
    }
    return arguments;
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

bool PosixDesktopShell::Open(const std::string& target, bool /*maximised*/) {
    return StartDetached({openTool_, target});
}

int PosixDesktopShell::FindExecutable(const std::string& file) {
    if (::access(file.c_str(), F_OK) != 0) {
        return kNotFound;
    }
    int result = kNotFound;
    Handler(file, result);
    return result;
}

bool PosixDesktopShell::OpenWebAddress(const std::string& address, const std::string& page) {
    int result = kNotFound;
    const DesktopEntry entry = Handler(page, result);
    if (result != kFound) {
        return false;
    }
    // A browser takes a bare host name for a file of that name; it is given a web address.
    const std::string url =
        address.find("://") == std::string::npos ? "http://" + address : address;
    return StartDetached(CommandLine(entry, url));
}

DesktopEntry PosixDesktopShell::Handler(const std::string& file, int& result) {
    bool toolMissing = false;
    const std::string mimeType = MimeType(file, toolMissing);
    result = kNotFound;
    if (toolMissing) {
        return {};
    }
    result = kNoAssociation;
    if (mimeType.empty()) {
        return {};
    }
    const Captured run = RunQuery({lookupTool_, "query", "default", mimeType});
    if (ToolMissing(run)) {
        result = kNotFound;
        return {};
    }
    // The tool names the handler's desktop entry, or prints nothing when there is none; an
    // entry that cannot be found or runs nothing is no handler either.
    if (run.exitStatus != 0) {
        return {};
    }
    DesktopEntry entry = ReadDesktopEntry(FindDesktopEntry(FirstEntryId(run.output)));
    if (!entry.exec.empty()) {
        result = kFound;
    }
    return entry;
}

}  // namespace rheo
