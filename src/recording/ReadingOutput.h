#pragma once
#include <functional>
#include <string_view>

#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "platform/SessionFile.h"
#include "recording/EventLog.h"
#include "recording/ReadingHistory.h"
#include "recording/SessionState.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/DecoderSink.h"

namespace rheo {

inline constexpr const char* kCannotAccessFile = "Cannot access file. Process aborted";

// The header line of a new session file (without its CR LF).
Text HeaderLine(const Configuration& configuration, const Text& temperatureUnitSuffix,
                const Text& viscosityUnitSuffix);
// One session-file row (without its CR LF).
Text RowLine(const Configuration& configuration, const Reading& reading, const Text& messageDate);
// The same row appended to `row`.
void AppendRow(Text& row, const Configuration& configuration, const Reading& reading,
               const Text& messageDate);

// What happens to every decoded reading: the history and the list, the current units, the
// session file and the "Start of process" entry, and the abandoning of a session whose file can
// no longer be written.
class ReadingOutput : public DecoderSink {
  public:
    ReadingOutput(const Configuration& configuration, SessionState& session, SessionFile& file,
                  EventLogger& log, MonitorView& view, MessageBoxes& boxes)
        : configuration_(configuration),
          session_(session),
          file_(file),
          log_(log),
          view_(view),
          boxes_(boxes) {}

    // The decoder whose RawText the "End of process::" entry carries.
    void SetRawTextSource(std::function<std::string_view()> rawText) {
        rawText_ = std::move(rawText);
    }

    void ShowTemperatureUnit(const Text& unit) override;
    void ShowViscosityUnit(const Text& unit) override;
    void RecordReading(const Reading& reading, const Text& messageDate) override;

    // Ends the session after its file failed: message, no session, "End of process::" followed
    // by the decoder's RawText (when the failure came with a reading) or nothing, caption.
    void AbandonSession(bool withRawText = false);

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
    std::function<std::string_view()> rawText_;

    ReadingHistory history_;
    Text temperatureUnitSuffix_;
    Text viscosityUnitSuffix_;
    Text row_;  // reused for every row, so that a row costs no allocation
    bool awaitingUser_ = false;
};

}  // namespace rheo
