#pragma once
// Texts travel through the engine as Windows-1252 bytes, exactly as the instrument sent them
// and as they are written to the files; only the windows convert them, for display.
#include <string>
#include <string_view>

namespace rheo {
using Text = std::string;
inline constexpr std::string_view kCrLf = "\r\n";
}  // namespace rheo
