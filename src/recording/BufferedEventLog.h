#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "recording/EventLog.h"

namespace rheo {

// The event log for batch work (the replay tool): the same lines as EventLog, appended through
// one buffered handle that is opened at the first entry and kept for the whole run, instead of
// an open, append and close per entry. Without a file the lines are discarded.
class BufferedEventLog : public EventLogger {
  public:
    BufferedEventLog(std::optional<std::string> file, const Clock& clock)
        : file_(std::move(file)), clock_(clock) {}
    ~BufferedEventLog() override { Finish(); }
    BufferedEventLog(const BufferedEventLog&) = delete;
    BufferedEventLog& operator=(const BufferedEventLog&) = delete;

    void LogEvent(EventKind kind, const Text& text) override;
    // Writes out what is buffered and closes the file; false when any entry was lost.
    bool Finish();

  private:
    std::optional<std::string> file_;
    const Clock& clock_;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
    Text line_;  // reused, so that an entry costs no allocation once the run is under way
};

}  // namespace rheo
