#pragma once
// The one place where the engine's Windows-1252 bytes become Unicode for display, and where
// text typed by the user becomes Windows-1252 bytes again, through the vocabulary's encoder.
#include <QString>
#include <string_view>

#include "vocabulary/Text.h"

namespace rheo {

// Bytes in the Windows code page to Unicode.
QString ToQString(std::string_view windows1252);

// Unicode to bytes in the Windows code page; a character the code page lacks becomes "?".
Text FromQString(const QString& text);

}  // namespace rheo
