#pragma once
#include <string>
#include <string_view>

namespace rheo {

// The one session file. The live program's implementation closes, flushes to the device and
// reopens the file after every row; the replay tool's keeps a buffered stream instead.
class SessionFile {
  public:
    virtual ~SessionFile() = default;
    virtual bool OpenForWriting(const std::string& path) = 0;    // create, or empty
    virtual bool OpenForAppending(const std::string& path) = 0;  // create when missing
    virtual bool WriteLine(std::string_view bytes) = 0;          // bytes include the CR LF
    // After a row: make it durable (live: flush to the device, close, reopen for appending).
    virtual bool CommitRow() = 0;
    virtual void Close() = 0;  // nothing happens when no file is open
    virtual bool IsOpen() const = 0;
};

}  // namespace rheo
