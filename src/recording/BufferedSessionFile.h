#pragma once
#include <cstdio>
#include <string>

#include "platform/SessionFile.h"

namespace rheo {

// A session file for batch work (the replay tool): one buffered stream, opened once and
// flushed to the device once, at the end. Standard output when the path is "-".
class BufferedSessionFile : public SessionFile {
  public:
    BufferedSessionFile() = default;
    ~BufferedSessionFile() override { Close(); }
    BufferedSessionFile(const BufferedSessionFile&) = delete;
    BufferedSessionFile& operator=(const BufferedSessionFile&) = delete;

    bool OpenForWriting(const std::string& path) override { return Open(path, "wb"); }
    bool OpenForAppending(const std::string& path) override { return Open(path, "ab"); }
    bool WriteLine(std::string_view bytes) override;
    bool CommitRow() override { return stream_ != nullptr && !std::ferror(stream_); }
    void Close() override { Finish(); }
    bool IsOpen() const override { return stream_ != nullptr; }

    // Flushes to the device and closes; false when anything could not be written.
    bool Finish();

  private:
    bool Open(const std::string& path, const char* mode);

    std::FILE* stream_ = nullptr;
    bool ownsStream_ = false;
    bool failed_ = false;
};

}  // namespace rheo
