#include "platform/posix/FileRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace rheo {

namespace {

// Status codes of the registry functions this store reproduces.
constexpr long kErrorPathNotFound = 3;
constexpr long kErrorWriteFault = 29;
constexpr long kErrorReadFault = 30;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorDiskFull = 112;
constexpr long kErrorKeyDeleted = 1018;

constexpr const char* kNewFileHeader =
    "; RHEOTRACKPANEL machine-wide settings: values under their [key], one a line.\n"
    ";   \"Name\"=\"text\"           text\n"
    ";   \"Name\"=dword:00000003   32-bit number, in hexadecimal\n"
    ";   \"Name\"=sz:\"text\"        text stored without a terminating zero\n"
    ";   \"Name\"=hex(N):0a,0b     data of type N, bytes in hexadecimal\n"
    "; In quotes \\\\ is a backslash, \\\" a quote and \\xHH the byte HH.\n"
    "; \"Port1\"=\"/dev/ttyUSB0\" under [Software\\Kavrel\\Quelmar] makes port 1 that device.\n";

long ErrorFromErrno(int error, long otherwise) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrorAccessDenied;
        case ENOENT:
        case ENOTDIR:
            return kErrorPathNotFound;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        default:
            return otherwise;
    }
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// "a\\b\" -> "a\b": empty components are dropped.
std::string NormalizePath(const std::string& path) {
    std::string result;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            if (!result.empty()) {
                result += '\\';
            }
            result.append(path, start, end - start);
        }
        start = end + 1;
    }
    return result;
}

std::string JoinPath(const std::string& base, const std::string& sub) {
    const std::string tail = NormalizePath(sub);
    if (base.empty()) {
        return tail;
    }
    return tail.empty() ? base : base + '\\' + tail;
}

// A key exists when it is written in the file or is an ancestor of one that is.
bool IsSameOrAncestor(const std::string& ancestor, const std::string& path) {
    if (ancestor.empty()) {
        return true;
    }
    if (path.size() < ancestor.size()) {
        return false;
    }
    if (!SameName(path.substr(0, ancestor.size()), ancestor)) {
        return false;
    }
    return path.size() == ancestor.size() || path[ancestor.size()] == '\\';
}

const char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c >= 0x7F;
}

std::string QuoteText(const std::string& bytes) {
    std::string out = "\"";
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '"') {
            out += '\\';
            out += ch;
        } else if (NeedsEscape(c)) {
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0xF];
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}

// Reads a quoted text at text[pos] (which is '"'); pos ends after the closing quote.
std::optional<std::string> UnquoteText(const std::string& text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char next = text[i + 1];
        if (next == '\\' || next == '"') {
            out += next;
            ++i;
        } else if (next == 'x' && i + 3 < text.size() && HexValue(text[i + 2]) >= 0 &&
                   HexValue(text[i + 3]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
            i += 3;
        } else {
            out += c;  // not an escape: the backslash stands for itself
        }
    }
    return std::nullopt;
}

// Key paths in section lines: %HH for control bytes, bytes above 0x7E, '%', '[' and ']'.
std::string EscapeKeyPath(const std::string& path) {
    std::string out;
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c) || ch == '%' || ch == '[' || ch == ']') {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string UnescapeKeyPath(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct StoredValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
};

// One line under a key: a value, or a comment or other text kept as it is.
struct KeyLine {
    std::optional<StoredValue> value;
    std::string text;
};

struct StoredKey {
    std::string path;  // normalized
    std::vector<KeyLine> lines;
};

struct StoreDocument {
    std::vector<std::string> preamble;  // lines before the first key
    std::vector<StoredKey> keys;
};

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool ParseHexBytes(const std::string& text, std::string& out) {
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
    };
    skipBlanks();
    while (i < text.size()) {
        if (i + 1 >= text.size() || HexValue(text[i]) < 0 || HexValue(text[i + 1]) < 0) {
            return false;
        }
        out += static_cast<char>(HexValue(text[i]) * 16 + HexValue(text[i + 1]));
        i += 2;
        skipBlanks();
        if (i < text.size()) {
            if (text[i] != ',') {
                return false;
            }
            ++i;
            skipBlanks();
        }
    }
    return true;
}

bool ParseNumberHex(const std::string& text, std::uint32_t& number) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    number = 0;
    for (char c : text) {
        if (HexValue(c) < 0) {
            return false;
        }
        number = number * 16 + static_cast<std::uint32_t>(HexValue(c));
    }
    return true;
}

std::optional<StoredValue> ParseValueLine(const std::string& line) {
    StoredValue value;
    std::size_t pos = 0;
    auto name = UnquoteText(line, pos);
    if (!name) {
        return std::nullopt;
    }
    value.name = *name;
    const std::string rest = Trim(line.substr(pos));
    if (rest.empty() || rest[0] != '=') {
        return std::nullopt;
    }
    const std::string data = Trim(rest.substr(1));
    if (!data.empty() && data[0] == '"') {
        std::size_t end = 0;
        auto text = UnquoteText(data, end);
        if (!text || end != data.size()) {
            return std::nullopt;
        }
        value.type = kRegSz;
        value.data = *text + '\0';
        return value;
    }
    if (data.rfind("sz:", 0) == 0) {
        std::size_t end = 3;
        auto text = UnquoteText(data, end);
        if (!text || end != data.size()) {
            return std::nullopt;
        }
        value.type = kRegSz;
        value.data = *text;
        return value;
    }
    if (data.rfind("dword:", 0) == 0) {
        std::uint32_t number = 0;
        if (!ParseNumberHex(Trim(data.substr(6)), number)) {
            return std::nullopt;
        }
        value.type = kRegDword;
        for (int i = 0; i < 4; ++i) {
            value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        }
        return value;
    }
    if (data.rfind("hex:", 0) == 0) {
        value.type = kRegBinary;
        if (!ParseHexBytes(data.substr(4), value.data)) {
            return std::nullopt;
        }
        return value;
    }
    if (data.rfind("hex(", 0) == 0) {
        const auto close = data.find("):");
        if (close == std::string::npos || !ParseNumberHex(data.substr(4, close - 4), value.type) ||
            !ParseHexBytes(data.substr(close + 2), value.data)) {
            return std::nullopt;
        }
        return value;
    }
    return std::nullopt;
}

std::string FormatValueLine(const StoredValue& value) {
    std::string line = QuoteText(value.name) + "=";
    if (value.type == kRegSz && !value.data.empty() && value.data.back() == '\0') {
        return line + QuoteText(value.data.substr(0, value.data.size() - 1));
    }
    if (value.type == kRegSz) {
        return line + "sz:" + QuoteText(value.data);
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        }
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
        return line + "dword:" + digits;
    }
    if (value.type == kRegBinary) {
        line += "hex:";
    } else {
        char type[16];
        std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
        line += type;
    }
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        const auto c = static_cast<unsigned char>(value.data[i]);
        if (i > 0) {
            line += ',';
        }
        line += kHexDigits[c >> 4];
        line += kHexDigits[c & 0xF];
    }
    return line;
}

StoredKey* FindKey(StoreDocument& document, const std::string& path) {
    for (auto& key : document.keys) {
        if (SameName(key.path, path)) {
            return &key;
        }
    }
    return nullptr;
}

bool KeyExists(const StoreDocument& document, const std::string& path) {
    if (path.empty()) {
        return true;
    }
    for (const auto& key : document.keys) {
        if (IsSameOrAncestor(path, key.path)) {
            return true;
        }
    }
    return false;
}

StoredValue* FindValue(StoredKey& key, const std::string& name) {
    for (auto& line : key.lines) {
        if (line.value && SameName(line.value->name, name)) {
            return &*line.value;
        }
    }
    return nullptr;
}

StoreDocument Parse(const std::string& content) {
    StoreDocument document;
    StoredKey* current = nullptr;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string trimmed = Trim(line);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            const std::string path =
                NormalizePath(UnescapeKeyPath(trimmed.substr(1, trimmed.size() - 2)));
            current = FindKey(document, path);
            if (current == nullptr) {
                document.keys.push_back({path, {}});
                current = &document.keys.back();
            }
            continue;
        }
        if (current == nullptr) {
            document.preamble.push_back(line);
            continue;
        }
        KeyLine keyLine;
        if (!trimmed.empty() && trimmed[0] == '"') {
            keyLine.value = ParseValueLine(trimmed);
        }
        if (keyLine.value) {
            // A value written twice: the later line wins, as the earlier is overwritten.
            if (StoredValue* earlier = FindValue(*current, keyLine.value->name)) {
                *earlier = *keyLine.value;
                continue;
            }
        } else {
            keyLine.text = line;
        }
        current->lines.push_back(std::move(keyLine));
    }
    return document;
}

std::string Format(const StoreDocument& document) {
    std::string out;
    for (const auto& line : document.preamble) {
        out += line + '\n';
    }
    for (const auto& key : document.keys) {
        out += '[' + EscapeKeyPath(key.path) + "]\n";
        for (const auto& line : key.lines) {
            out += (line.value ? FormatValueLine(*line.value) : line.text) + '\n';
        }
    }
    return out;
}

// Reads and parses the store. A missing file is an empty store.
long Load(const std::string& file, StoreDocument& document) {
    document = {};
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return 0;
        }
        return ErrorFromErrno(errno, kErrorReadFault);
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return ErrorFromErrno(error, kErrorReadFault);
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    document = Parse(content);
    return 0;
}

std::string ParentDirectory(const std::string& file) {
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : file.substr(0, slash);
}

// mkdir -p, readable by everybody.
int MakeDirectories(const std::string& directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const std::string parent = ParentDirectory(directory);
    if (parent != directory) {
        if (const int error = MakeDirectories(parent); error != 0) {
            return error;
        }
    }
    if (::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces the file whole: temporary file beside it, flushed to the device, renamed over it.
// On failure the old file is untouched and the temporary file removed.
long Save(const std::string& file, const StoreDocument& document) {
    const std::string directory = ParentDirectory(file);
    if (const int error = MakeDirectories(directory); error != 0) {
        return ErrorFromErrno(error, kErrorWriteFault);
    }
    mode_t mode = 0644;
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    }
    std::string temporary = file + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return ErrorFromErrno(errno, kErrorWriteFault);
    }
    const std::string content = Format(document);
    if (!WriteAll(fd, content) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return ErrorFromErrno(error, kErrorWriteFault);
    }
    if (::close(fd) != 0 || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return ErrorFromErrno(error, kErrorWriteFault);
    }
    // Make the rename itself durable; the new content is already on the device.
    const int directoryFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd >= 0) {
        ::fsync(directoryFd);
        ::close(directoryFd);
    }
    return 0;
}

StoreDocument NewDocumentIfEmpty(StoreDocument document) {
    if (document.preamble.empty() && document.keys.empty()) {
        std::string header = kNewFileHeader;
        std::size_t start = 0;
        while (start < header.size()) {
            const auto end = header.find('\n', start);
            document.preamble.push_back(header.substr(start, end - start));
            start = end + 1;
        }
    }
    return document;
}

}  // namespace

FileRegistry::FileRegistry() : FileRegistry(DefaultFile()) {}

FileRegistry::FileRegistry(std::string file) : file_(std::move(file)) {}

std::string FileRegistry::DefaultFile() {
    std::string directory = "/etc/xdg";
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS"); dirs != nullptr) {
        const std::string list = dirs;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos) {
                end = list.size();
            }
            // Relative entries are not valid and are skipped.
            if (end > start && list[start] == '/') {
                directory = list.substr(start, end - start);
                break;
            }
            start = end + 1;
        }
    }
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory + "/rheotrackpanel/settings";
}

bool FileRegistry::KeyPathOf(RegKey key, std::string& path) const {
    if (key == kHkeyLocalMachine) {
        path.clear();
        return true;
    }
    const auto it = handles_.find(key);
    if (it == handles_.end()) {
        return false;
    }
    path = it->second;
    return true;
}

RegKey FileRegistry::NewHandle(const std::string& path) {
    const RegKey handle = nextHandle_++;
    handles_[handle] = path;
    return handle;
}

long FileRegistry::OpenOrCreateKey(RegKey root, const std::string& path, bool create, RegKey& key) {
    key = 0;
    std::string base;
    if (!KeyPathOf(root, base)) {
        return kErrorInvalidHandle;
    }
    const std::string full = JoinPath(base, path);
    StoreDocument document;
    if (const long status = Load(file_, document); status != 0) {
        return status;
    }
    if (!KeyExists(document, full)) {
        if (!create) {
            return kErrorFileNotFound;
        }
        document = NewDocumentIfEmpty(std::move(document));
        document.keys.push_back({full, {}});
        if (const long status = Save(file_, document); status != 0) {
            return status;
        }
    }
    key = NewHandle(full);
    return 0;
}

long FileRegistry::OpenKey(RegKey root, const std::string& path, std::uint32_t /*access*/,
                           RegKey& key) {
    return OpenOrCreateKey(root, path, false, key);
}

long FileRegistry::CreateKey(RegKey root, const std::string& path, RegKey& key) {
    return OpenOrCreateKey(root, path, true, key);
}

long FileRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t length) {
    std::string path;
    if (!KeyPathOf(key, path)) {
        return kErrorInvalidHandle;
    }
    if (data == nullptr && length > 0) {
        return kErrorInvalidParameter;
    }
    StoreDocument document;
    if (const long status = Load(file_, document); status != 0) {
        return status;
    }
    if (!KeyExists(document, path)) {
        return kErrorKeyDeleted;  // removed by another process since it was opened
    }
    document = NewDocumentIfEmpty(std::move(document));
    StoredKey* stored = FindKey(document, path);
    if (stored == nullptr) {
        document.keys.push_back({path, {}});
        stored = &document.keys.back();
    }
    StoredValue value{
        name, type,
        length == 0 ? std::string{} : std::string(reinterpret_cast<const char*>(data), length)};
    if (StoredValue* existing = FindValue(*stored, name)) {
        existing->type = value.type;
        existing->data = std::move(value.data);
    } else {
        // After the last line that is not blank, so blank lines keep separating the keys.
        auto at = stored->lines.end();
        while (at != stored->lines.begin() && !std::prev(at)->value &&
               Trim(std::prev(at)->text).empty()) {
            --at;
        }
        stored->lines.insert(at, KeyLine{std::move(value), {}});
    }
    return Save(file_, document);
}

long FileRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* length) {
    std::string path;
    if (!KeyPathOf(key, path)) {
        return kErrorInvalidHandle;
    }
    if (data != nullptr && length == nullptr) {
        return kErrorInvalidParameter;
    }
    StoreDocument document;
    if (const long status = Load(file_, document); status != 0) {
        return status;
    }
    if (!KeyExists(document, path)) {
        return kErrorKeyDeleted;
    }
    StoredKey* stored = FindKey(document, path);
    StoredValue* value = stored == nullptr ? nullptr : FindValue(*stored, name);
    if (value == nullptr) {
        return kErrorFileNotFound;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    const auto size = static_cast<std::uint32_t>(value->data.size());
    if (data != nullptr) {
        if (*length < size) {
            *length = size;
            return kErrorMoreData;
        }
        std::memcpy(data, value->data.data(), size);
    }
    if (length != nullptr) {
        *length = size;
    }
    return 0;
}

long FileRegistry::CloseKey(RegKey key) {
    return handles_.erase(key) == 1 ? 0 : kErrorInvalidHandle;
}

}  // namespace rheo
