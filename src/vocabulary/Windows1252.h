#pragma once
// Windows-1252, the engine's text: Latin-1 except for 0x80 to 0x9F, where the code page has
// characters of its own (the euro sign, typographic quotes, ...); the five codes it leaves
// unused there stand for the C1 controls of the same number.
#include <string_view>

#include "vocabulary/Text.h"

namespace rheo {

// The Unicode character of one byte.
char32_t Windows1252Character(unsigned char byte);

// The byte of one Unicode character; "?" for a character the code page lacks.
char Windows1252Byte(char32_t character);

// UTF-8 to Windows-1252; a character the code page lacks, and each malformed sequence, becomes
// "?".
Text Utf8ToWindows1252(std::string_view utf8);

// Windows-1252 to UTF-8: every byte is one character, so the result is always valid UTF-8.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace rheo
