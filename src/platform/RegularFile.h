#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rheo {

// The program's own small files (the configuration file, the event log), opened without
// waiting (a FIFO with no writer or reader) and accepted only as regular files: a FIFO, a
// device, a directory or a link to one of these is a file that cannot be opened.

// The file's first maxBytes bytes at most; nothing when it cannot be opened or read.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes);

// Appends the bytes, creating the file when it is missing. Bytes that cannot be written whole
// are taken back (the file is cut to its size before them), so the file holds whole lines.
bool AppendToRegularFile(const std::string& path, std::string_view bytes);

}  // namespace rheo
