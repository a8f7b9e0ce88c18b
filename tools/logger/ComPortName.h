#pragma once
#include <string_view>

namespace rheo::logger {

// The number N of a Windows COM port named "COM<N>" or "\\.\COM<N>" (letters in any case),
// 1 to 255; 0 for any other name.
int ComPortNumber(std::string_view device);

}  // namespace rheo::logger
