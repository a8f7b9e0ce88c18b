#pragma once
#include <cstdint>
#include <string>

#include "platform/SessionFile.h"

namespace rheo {

// The live program's session file: every row is written at once, flushed to the device,
// and the file closed and reopened for appending, so a power cut or a pulled medium loses no
// row that was already listed. One implementation per operating system.
//
// The file that the session starts on (which may be reached through a link the operator chose)
// is remembered by its identity, and every reopening must reach that same file: it is opened by
// name without creating it, and a name that now leads elsewhere (the file moved away and a link
// or another file put in its place, the folder renamed and made again) or nowhere fails the row,
// so the session ends as for a pulled medium and no row goes into someone else's file.
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

    // Whether the name of the file last opened may be taken again after the session ended on
    // it: it leads to that same file, or to nothing (a folder made again: a new file). A name
    // that leads to another file or a link put in its place may not, so that a program that
    // takes its file again by itself writes no row into someone else's file.
    bool NameMayBeTakenAgain() const;

  private:
    // Device and inode; on Windows the volume serial number and the file index.
    struct Identity {
        std::uint64_t volume = 0;
        std::uint64_t index = 0;
        bool operator==(const Identity&) const = default;
    };
    static constexpr std::intptr_t kNoHandle = -1;
    bool Open(const std::string& path, bool truncate);
    bool Reopen();

    std::intptr_t handle_ = kNoHandle;  // a file descriptor, or a Windows HANDLE
    std::string path_;
    Identity identity_;
};

}  // namespace rheo
