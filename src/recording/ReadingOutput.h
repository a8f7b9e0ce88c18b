#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "platform/SessionFile.h"
#include "recording/EventLog.h"
#include "recording/ReadingHistory.h"
#include "recording/SessionState.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/DecoderSink.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo {

inline constexpr const char* kCannotAccessFile = "Cannot access file. Process aborted";

// The header line of a new session file (without its CR LF).
Text HeaderLine(const Configuration& configuration, const Text& temperatureUnitSuffix,
                const Text& viscosityUnitSuffix);
// The nine texts of a session-file row, in their order: the message date, then the reading's
// texts but its date. The pointers are valid while `reading` and `messageDate` are.
using RowFields = std::array<const Text*, 9>;
RowFields RowFieldsOf(const Reading& reading, const Text& messageDate);
// One session-file row (without its CR LF).
Text RowLine(const Configuration& configuration, const Reading& reading, const Text& messageDate);
// The same row appended to `row`.
void AppendRow(Text& row, const Configuration& configuration, const Reading& reading,
               const Text& messageDate);

// How a session takes its file: New creates or empties it and writes the header before the
// first row; Append adds to it, with a header only when the file did not exist yet.
enum class SessionStart { New, Append };

// What happens to every decoded reading: the history and the list, the current units, the
// session file and the "Start of process" entry; the start and end of a session, and the
// abandoning of a session whose file can no longer be written.
class ReadingOutput : public DecoderSink {
  public:
    ReadingOutput(const Configuration& configuration, SessionState& session, SessionFile& file,
                  EventLogger& log, MonitorView& view, MessageBoxes& boxes, ReadingHistory& history)
        : configuration_(configuration),
          session_(session),
          file_(file),
          log_(log),
          view_(view),
          boxes_(boxes),
          history_(history) {}

    // Closes the previous session's file and starts a session in `path`; the caption shows it.
    // False when the file cannot be opened: the session is then ended at once through the
    // failure path unless `quietFailure` (a tool that reports the failure itself).
    bool StartSession(const std::string& path, SessionStart how, bool quietFailure = false);
    // Closes the file and ends the session; the caption says no file is selected.
    void EndSession();
    // Quit: closes the session file and touches nothing else.
    void CloseForQuit() { file_.Close(); }

    void ShowTemperatureUnit(const Text& unit) override;
    void ShowViscosityUnit(const Text& unit) override;
    void RecordReading(const Reading& reading, const Text& messageDate,
                       std::string_view rawText) override;

    // Ends the session after its file failed: message, no session, "End of process::" followed
    // by the message's raw text (when the failure came with a reading) or nothing, caption.
    void AbandonSession(std::string_view rawText = {});

    // Adds one that is told of every reading recorded and every session started, until the
    // output ends; observers are told in the order they were added.
    void AddObserver(RecordingObserver& observer) { observers_.push_back(&observer); }

    const ReadingHistory& History() const { return history_; }
    const Text& TemperatureUnitSuffix() const { return temperatureUnitSuffix_; }
    const Text& ViscosityUnitSuffix() const { return viscosityUnitSuffix_; }
    // True while the failure message waits for the user: the engine must not run meanwhile.
    bool AwaitingUser() const { return awaitingUser_; }

  private:
    const Configuration& configuration_;
    SessionState& session_;
    SessionFile& file_;
    EventLogger& log_;
    MonitorView& view_;
    MessageBoxes& boxes_;
    ReadingHistory& history_;

    std::vector<RecordingObserver*> observers_;

    Text temperatureUnitSuffix_;
    Text viscosityUnitSuffix_;
    Text temperatureUnit_;  // the suffixes' units without their "]", for the observers
    Text viscosityUnit_;
    Text row_;  // reused for every row, so that a row costs no allocation
    bool awaitingUser_ = false;
};

}  // namespace rheo
