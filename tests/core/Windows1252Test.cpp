// The one Unicode to Windows-1252 encoder (the clock's date and time, the windows' typed text).
#include "vocabulary/Windows1252.h"

#include <gtest/gtest.h>

#include <string>

namespace rheo {
namespace {

std::string Utf8(char32_t c) {
    if (c < 0x80) {
        return std::string(1, static_cast<char>(c));
    }
    if (c < 0x800) {
        return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

TEST(Windows1252Test, EveryByteRoundTripsAndWhatThePageLacksBecomesAQuestionMark) {
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t character = Windows1252Character(static_cast<unsigned char>(byte));
        EXPECT_EQ(Utf8ToWindows1252(Utf8(character)), std::string(1, static_cast<char>(byte)))
            << byte;
    }
    EXPECT_EQ(Windows1252Character(0x80), U'\u20AC');
    EXPECT_EQ(Windows1252Character(0x9F), U'\u0178');
    // "7 € º", a character the page lacks, one beyond the basic plane, a sequence cut off at the
    // end, a run of stray continuation bytes, one cut off in the middle.
    EXPECT_EQ(Utf8ToWindows1252("7 \xE2\x82\xAC \xC2\xBA"), "7 \x80 \xBA");
    EXPECT_EQ(Utf8ToWindows1252("\xE6\x97\xA5|\xF0\x9F\x98\x80|a\xC3"), "?|?|a?");
    EXPECT_EQ(Utf8ToWindows1252("\x82\x82z\xE2\x82z"), "?z?z");
}

}  // namespace
}  // namespace rheo
