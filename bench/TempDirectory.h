#pragma once
// A directory of its own under the system's temporary directory (TMPDIR), removed with it.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace rheo::bench {

class TempDirectory {
  public:
    // Under `base`, or the system's temporary directory when it is empty.
    explicit TempDirectory(const std::filesystem::path& base = {}) {
        std::string pattern =
            ((base.empty() ? std::filesystem::temp_directory_path() : base) / "rheo-bench-XXXXXX")
                .string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDirectory() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    bool Valid() const { return !path_.empty(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace rheo::bench
