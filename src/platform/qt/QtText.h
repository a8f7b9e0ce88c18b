#pragma once
// The one place where the engine's Windows-1252 bytes become Unicode for display, and where
// text typed by the user becomes Windows-1252 bytes again.
#include <QString>
#include <string>
#include <string_view>

namespace rheo {

// Bytes in the Windows code page to Unicode. Uses the toolkit's windows-1252 codec when it has
// one (Qt built with ICU), otherwise the built-in table.
QString FromWindows1252(std::string_view bytes);

// Unicode to bytes in the Windows code page; a character the code page lacks becomes "?".
std::string ToWindows1252(const QString& text);

// The built-in table alone, whatever the toolkit offers: Latin-1 except for 0x80 to 0x9F,
// where the code page has its own characters (the five codes it leaves unused map to the C1
// controls of the same number).
QString FromWindows1252Table(std::string_view bytes);
std::string ToWindows1252Table(const QString& text);

}  // namespace rheo
