#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rheo {

// The text of the settings file: keys in brackets, typed values under them, one a line, as an
// operator writes them by hand:
//
//   [Software\Kavrel\Quelmar]
//   "Port1"="/dev/ttyUSB0"
//   "Puerto"=dword:00000003
//
// "text" is text (in quotes \\ is a backslash, \" a quote and \xHH the byte HH), dword:XXXXXXXX
// a 32-bit number in hexadecimal. Key and value names compare without regard to ASCII case; a
// value written twice counts with its last line. Every other line (comments, blank lines, lines
// not understood) is kept as it stands, and so are the file's line endings. Parsing and
// formatting take time in proportion to the text.
class SettingsText {
  public:
    struct Value {
        std::uint32_t type = 0;  // 1 text (without its terminating zero), 4 a 32-bit number
        std::string data;        // the text, or the number's 4 bytes, least significant first

        bool operator==(const Value&) const = default;
    };

    static SettingsText Parse(std::string_view text);
    std::string Format() const;

    bool HasKey(const std::string& key) const;
    const Value* Find(const std::string& key, const std::string& name) const;
    // The key is added at the end when missing; false when the key path cannot stand in the file.
    bool AddKey(const std::string& key);
    // Replaces the value's last line, or adds one at the end of the key's last section.
    // False when the key is missing or the value cannot stand in the file.
    bool Set(const std::string& key, const std::string& name, const Value& value);

  private:
    std::vector<std::string> lines_;  // without their line ends
    std::string lineEnd_ = "\n";
    // By lower-case key: its last section or value line. By lower-case key, a line end and the
    // lower-case name: the value's line and the value.
    std::unordered_map<std::string, std::size_t> keyEnds_;
    std::unordered_map<std::string, std::pair<std::size_t, Value>> values_;
};

}  // namespace rheo
