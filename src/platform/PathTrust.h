#pragma once
#include <string>

namespace rheo {

// Who can change what a name leads to. Returns the first place on the way to `path` that an
// account other than root and this program's user could change, or "" when there is none: a
// folder that others may write (unless its sticky bit keeps the next entry, which is root's or
// the user's, from being replaced), a symbolic link followed on the way (its target is checked
// the same way), and with `fileToo` the file itself (owned by another account, or writable by
// its group or by everyone). A place that cannot be looked at counts as changeable. On Windows,
// where ports are COM names and nothing is mapped, nothing is reported.
std::string PlaceOthersCanChange(const std::string& path, bool fileToo);

}  // namespace rheo
