#pragma once
// A fresh folder under the Windows temporary folder, removed with its contents at the end, and
// files read and written byte for byte.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace rheo::testing {

class TempDirectory {
  public:
    TempDirectory() { std::filesystem::create_directories(path_); }
    ~TempDirectory() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

  private:
    static inline int counter_ = 0;
    std::string path_ =
        (std::filesystem::temp_directory_path() /
         ("rheo-win32-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter_)))
            .string();
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace rheo::testing
