#pragma once
#include <cstdint>
#include <string>

#include "platform/SessionFile.h"

namespace rheo {

// The live program's session file: every row is written at once, flushed to the device,
// and the file closed and reopened for appending, so a power cut or a pulled medium loses no
// row that was already listed. One implementation per operating system.
class LiveSessionFile : public SessionFile {
  public:
    LiveSessionFile() = default;
    ~LiveSessionFile() override { Close(); }
    LiveSessionFile(const LiveSessionFile&) = delete;
    LiveSessionFile& operator=(const LiveSessionFile&) = delete;

    bool OpenForWriting(const std::string& path) override { return Open(path, true); }
    bool OpenForAppending(const std::string& path) override { return Open(path, false); }
    bool WriteLine(std::string_view bytes) override;
    bool CommitRow() override;
    void Close() override;
    bool IsOpen() const override { return handle_ != kNoHandle; }

  private:
    static constexpr std::intptr_t kNoHandle = -1;
    bool Open(const std::string& path, bool truncate);

    std::intptr_t handle_ = kNoHandle;  // a file descriptor, or a Windows HANDLE
    std::string path_;
};

}  // namespace rheo
