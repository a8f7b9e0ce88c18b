#include "platform/PathTrust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <deque>
#include <vector>

namespace rheo {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on links followed in one name

bool Trusted(uid_t owner) {
    return owner == 0 || owner == ::geteuid();
}

// Splits a path into its names, "." and empty ones dropped.
void AppendNames(const std::string& path, std::deque<std::string>& names, bool atFront) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start && path.compare(start, end - start, ".") != 0) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    if (atFront) {
        names.insert(names.begin(), parts.begin(), parts.end());
    } else {
        names.insert(names.end(), parts.begin(), parts.end());
    }
}

std::string Parent(const std::string& folder) {
    const auto slash = folder.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Whether nobody but root and the user can replace the entry `entry` of `folder`.
bool EntryKept(const struct stat& folder, const struct stat& entry) {
    if (!Trusted(folder.st_uid)) {
        return false;
    }
    if ((folder.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
        return true;
    }
    // In a shared folder with the sticky bit only the entry's owner (and root) may replace it.
    return (folder.st_mode & S_ISVTX) != 0 && Trusted(entry.st_uid);
}

}  // namespace

std::string PlaceOthersCanChange(const std::string& path, bool fileToo) {
    if (path.empty()) {
        return path;
    }
    std::string folder = "/";
    if (path.front() != '/') {
        char here[PATH_MAX];
        if (::getcwd(here, sizeof here) == nullptr) {
            return ".";
        }
        folder = here;
    }
    struct stat folderInfo {};
    if (::lstat(folder.c_str(), &folderInfo) != 0) {
        return folder;
    }
    // Every folder above the start must be kept too.
    for (std::string above = folder; above != "/";) {
        const std::string parent = Parent(above);
        struct stat parentInfo {};
        struct stat entryInfo {};
        if (::lstat(parent.c_str(), &parentInfo) != 0 || ::lstat(above.c_str(), &entryInfo) != 0 ||
            !EntryKept(parentInfo, entryInfo)) {
            return above;
        }
        above = parent;
    }
    std::deque<std::string> names;
    AppendNames(path, names, false);
    int links = 0;
    while (!names.empty()) {
        const std::string name = names.front();
        names.pop_front();
        if (name == "..") {
            folder = Parent(folder);
            ::lstat(folder.c_str(), &folderInfo);
            continue;
        }
        const std::string place = Join(folder, name);
        struct stat info {};
        if (::lstat(place.c_str(), &info) != 0 || !EntryKept(folderInfo, info)) {
            return place;
        }
        if (S_ISLNK(info.st_mode)) {
            if (++links > kMaxLinks) {
                return place;
            }
            std::string target(PATH_MAX, '\0');
            const ssize_t size = ::readlink(place.c_str(), target.data(), target.size());
            if (size <= 0) {
                return place;
            }
            target.resize(static_cast<std::size_t>(size));
            if (target.front() == '/') {
                folder = "/";
                ::lstat(folder.c_str(), &folderInfo);
            }
            AppendNames(target, names, true);
            continue;
        }
        if (names.empty()) {
            const bool fileKept =
                !fileToo || (Trusted(info.st_uid) && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0);
            return fileKept ? std::string() : place;
        }
        folder = place;
        folderInfo = info;
    }
    return std::string();  // the name was a folder itself ("/", "..")
}

}  // namespace rheo
