#include "platform/posix/SettingsText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace rheo {
namespace {

constexpr std::uint32_t kText = 1;
constexpr std::uint32_t kNumber = 4;

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; });
    return out;
}

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The number written in hexadecimal with all of these digits, at most eight.
std::optional<std::uint32_t> Hex(std::string_view digits) {
    std::uint32_t number = 0;
    const char* end = digits.data() + digits.size();
    if (digits.empty() || digits.size() > 8 ||
        std::from_chars(digits.data(), end, number, 16).ptr != end) {
        return std::nullopt;
    }
    return number;
}

std::string Quote(std::string_view bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '"') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + '"';
}

// The quoted text at the start of s; s is left after the closing quote.
std::optional<std::string> Unquote(std::string_view& s) {
    if (s.empty() || s[0] != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        const char next = i + 1 < s.size() ? s[i + 1] : '\0';
        if (s[i] == '\\' && (next == '\\' || next == '"')) {
            out += next;
            ++i;
        } else if (s[i] == '\\' && next == 'x' && i + 3 < s.size() && Hex(s.substr(i + 2, 2))) {
            out += static_cast<char>(*Hex(s.substr(i + 2, 2)));
            i += 3;
        } else {
            out += s[i];  // not an escape: the backslash stands for itself
        }
    }
    return std::nullopt;
}

// "name"="text" or "name"=dword:XXXXXXXX, blanks allowed around the equals sign.
std::optional<std::pair<std::string, SettingsText::Value>> ParseValue(std::string_view line) {
    auto name = Unquote(line);
    line = Trim(line);
    if (!name || line.empty() || line[0] != '=') {
        return std::nullopt;
    }
    line = Trim(line.substr(1));
    if (std::string_view rest = line; auto text = Unquote(rest)) {
        return rest.empty() ? std::optional{std::pair{*name, SettingsText::Value{kText, *text}}}
                            : std::nullopt;
    }
    const auto number = line.substr(0, 6) == "dword:" ? Hex(line.substr(6)) : std::nullopt;
    if (!number) {
        return std::nullopt;
    }
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xFF);
    }
    return std::pair{*name, SettingsText::Value{kNumber, bytes}};
}

std::string FormatValue(const std::string& name, const SettingsText::Value& value) {
    if (value.type == kText) {
        return Quote(name) + "=" + Quote(value.data);
    }
    std::uint32_t number = 0;
    for (std::size_t i = 4; i-- > 0;) {
        number = (number << 8) | static_cast<unsigned char>(value.data[i]);
    }
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    return Quote(name) + "=dword:" + digits;
}

}  // namespace

SettingsText SettingsText::Parse(std::string_view text) {
    SettingsText parsed;
    const auto firstEnd = text.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r') {
        parsed.lineEnd_ = "\r\n";
    }
    std::optional<std::string> key;  // none before the first section
    for (std::size_t i = 0; !text.empty(); ++i) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (parsed.lineEnd_ == "\r\n" && !raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        parsed.lines_.emplace_back(raw);
        const std::string_view trimmed = Trim(raw);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            key = Lower(trimmed.substr(1, trimmed.size() - 2));
            parsed.keyEnds_[*key] = i;
        } else if (auto value = key ? ParseValue(trimmed) : std::nullopt) {
            parsed.keyEnds_[*key] = i;
            parsed.values_[*key + '\n' + Lower(value->first)] = {i, value->second};
        }
    }
    return parsed;
}

std::string SettingsText::Format() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line + lineEnd_;
    }
    return out;
}

bool SettingsText::HasKey(const std::string& key) const {
    return keyEnds_.count(Lower(key)) == 1;
}

const SettingsText::Value* SettingsText::Find(const std::string& key,
                                              const std::string& name) const {
    const auto it = values_.find(Lower(key) + '\n' + Lower(name));  // no key holds a line end
    return it == values_.end() ? nullptr : &it->second.second;
}

bool SettingsText::AddKey(const std::string& key) {
    const bool fits = std::none_of(key.begin(), key.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == ']';
    });
    if (fits && !HasKey(key)) {
        lines_.push_back("[" + key + "]");
        keyEnds_[Lower(key)] = lines_.size() - 1;
    }
    return fits;
}

bool SettingsText::Set(const std::string& key, const std::string& name, const Value& value) {
    const auto end = keyEnds_.find(Lower(key));
    if (end == keyEnds_.end() ||
        !(value.type == kText || (value.type == kNumber && value.data.size() == 4))) {
        return false;
    }
    if (const auto it = values_.find(Lower(key) + '\n' + Lower(name)); it != values_.end()) {
        lines_[it->second.first] = FormatValue(name, value);
        it->second.second = value;
    } else {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end->second + 1),
                      FormatValue(name, value));
        *this = Parse(Format());  // the lines after it have moved
    }
    return true;
}

}  // namespace rheo
