#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rheo {

// Appends the bytes through file, a handle opened for appending to the file at path (a file
// descriptor, or a Windows HANDLE, as LiveSessionFile holds it). Bytes that cannot be written
// whole (a full disk, a pulled medium) are taken back by cutting the file to its size before
// them, so a file of lines never ends in a torn one that the next line would be glued to. One
// implementation per operating system; the path serves where the appending handle cannot cut.
bool WriteWholeOrTakeBack(std::intptr_t file, const std::string& path, std::string_view bytes);

}  // namespace rheo
