#pragma once
#include <string>
#include <string_view>

namespace rheo {

// Writes a file afresh under the name: whatever is there (a file, or a link, never what a link
// points to) is removed first and the file is then created exclusively, so that nothing is
// written through a link planted under that name in a shared folder. False when the file could
// not be created or written whole (a partly written file is removed again).
bool WriteNewFile(const std::string& path, std::string_view bytes);

}  // namespace rheo
