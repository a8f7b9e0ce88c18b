// Arbitrary bytes as the text of the settings file. Whatever the text, parsing and formatting
// settle after one round (a second round changes nothing), and a value set in it reads back
// exactly, before and after the text is formatted and parsed again, with every other value kept.
// A violation stops the process with a message and a trap, so libFuzzer keeps the input.
//
// Input layout: the first byte picks the value to set (bit 0: a number or text, bits 1-2 the
// name), the rest is the file's text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/posix/SettingsText.h"

namespace {

using rheo::SettingsText;

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "settings text invariant violated: %s\n", what);
        std::fflush(stderr);
        __builtin_trap();
    }
}

constexpr const char* kKey = "Software\\Kavrel\\Quelmar";
constexpr const char* kNames[] = {"Puerto", "PORT1", "na\"me\\x0a", "\x01\xBA\n"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string name = kNames[(data[0] >> 1) & 3u];
    SettingsText::Value fitted{1, std::string(text.substr(0, 16))};
    if ((data[0] & 1u) != 0) {
        fitted = {4, (std::string(text.substr(0, 4)) + std::string(4, '\0')).substr(0, 4)};
    }

    SettingsText parsed = SettingsText::Parse(text);
    const std::string once = parsed.Format();
    Require(SettingsText::Parse(once).Format() == once, "formatting does not settle");
    const SettingsText::Value* other = parsed.Find(kKey, "Other");
    const SettingsText::Value otherBefore = other != nullptr ? *other : SettingsText::Value{};

    Require(parsed.AddKey(kKey) && parsed.HasKey(kKey), "the key cannot be added");
    Require(parsed.Set(kKey, name, fitted), "the value cannot be set");
    const SettingsText::Value* found = parsed.Find(kKey, name);
    Require(found != nullptr && *found == fitted, "the value set does not read back");

    const SettingsText again = SettingsText::Parse(parsed.Format());
    found = again.Find(kKey, name);
    Require(found != nullptr && *found == fitted, "the value set does not survive formatting");
    other = again.Find(kKey, "Other");
    Require((other != nullptr ? *other : SettingsText::Value{}) == otherBefore,
            "setting a value changed another");
    return 0;
}
