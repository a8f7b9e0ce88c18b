#pragma once
#include <string>
#include <string_view>

namespace rheo {

// Paths travel through the program as UTF-8 bytes; the Windows file and shell calls take them
// in UTF-16 (the wide calls), so that any name the file system can hold can be used, not only
// those of the ANSI code page. The bytes inside the files are another matter (Windows-1252).

// The UTF-16 form of a UTF-8 path; empty for bytes that are not UTF-8, which names no file.
std::wstring WidePath(std::string_view utf8);

// The UTF-8 form of a UTF-16 path from the system.
std::string Utf8Path(std::wstring_view wide);

}  // namespace rheo
