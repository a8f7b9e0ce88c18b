#pragma once
#include <string_view>

#include "app/ConfigurationFile.h"
#include "decoder/Decoder.h"
#include "recording/ReadingOutput.h"
#include "recording/SessionState.h"

namespace rheo {

// The decoder and the reading output wired together around one configuration and one session:
// everything between a received character and the list, the session file and the event log.
class Engine {
  public:
    // The history is the reading list's, which the window that shows it was given too.
    Engine(const Configuration& configuration, const Clock& clock, EventLogger& log,
           SessionFile& file, MonitorView& view, MessageBoxes& boxes, ReadingHistory& history)
        : output_(configuration, session_, file, log, view, boxes, history),
          decoder_(configuration, clock, output_, log) {}
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Feeds characters one at a time. Refused (false, nothing fed) while a message box opened
    // from inside the engine waits for the user, so that a timer that keeps running under the
    // box cannot run the decoder again before the box is closed.
    bool Feed(std::string_view characters) {
        if (Busy()) {
            return false;
        }
        decoder_.DecodeText(characters);
        return true;
    }
    bool Busy() const { return output_.AwaitingUser(); }

    // Starts a session in `path` (ReadingOutput::StartSession): the one way every program
    // opens its session file.
    bool StartSession(const std::string& path, SessionStart how, bool quietFailure = false) {
        return output_.StartSession(path, how, quietFailure);
    }
    rheo::Decoder& Decoder() { return decoder_; }
    const rheo::Decoder& Decoder() const { return decoder_; }
    ReadingOutput& Output() { return output_; }
    const ReadingOutput& Output() const { return output_; }
    SessionState& Session() { return session_; }
    const SessionState& Session() const { return session_; }

  private:
    SessionState session_;
    ReadingOutput output_;
    rheo::Decoder decoder_;
};

}  // namespace rheo
