#include "recording/ReadingOutput.h"

#include <filesystem>
#include <iterator>

#include "vocabulary/FileSystemPath.h"

namespace rheo {

Text HeaderLine(const Configuration& configuration, const Text& temperatureUnitSuffix,
                const Text& viscosityUnitSuffix) {
    const Text& s = configuration.FieldSeparator;
    return "Date" + s + "Hour" + s + "Spindle" + s + "RPM" + s + "Temp [\xBA" +
           temperatureUnitSuffix + s + "Error T" + s + "Viscosity [" + viscosityUnitSuffix + s +
           "Error V" + s + "%";
}

Text RowLine(const Configuration& configuration, const Reading& reading, const Text& messageDate) {
    Text row;
    AppendRow(row, configuration, reading, messageDate);
    return row;
}

RowFields RowFieldsOf(const Reading& reading, const Text& messageDate) {
    return {&messageDate,       &reading.Hour,           &reading.Spindle,
            &reading.Rpm,       &reading.Temperature,    &reading.TemperatureError,
            &reading.Viscosity, &reading.ViscosityError, &reading.Torque};
}

void AppendRow(Text& row, const Configuration& configuration, const Reading& reading,
               const Text& messageDate) {
    const Text& s = configuration.FieldSeparator;
    const RowFields fields = RowFieldsOf(reading, messageDate);
    std::size_t size = row.size() + (std::size(fields) - 1) * s.size();
    for (const Text* field : fields) {
        size += field->size();
    }
    // One allocation at most: this runs for every reading of a replayed capture.
    row.reserve(size);
    for (const Text* field : fields) {
        if (field != fields[0]) {
            row += s;
        }
        row += *field;
    }
}

namespace {

// The unit followed by "]"; false when the suffix held that already (nothing to change).
bool SetUnitSuffix(Text& suffix, Text& plainUnit, const Text& unit) {
    if (suffix.size() == unit.size() + 1 && suffix.starts_with(unit) && suffix.back() == ']') {
        return false;
    }
    suffix = unit + "]";
    plainUnit = unit;
    return true;
}

}  // namespace

// Every message announces its units; the caption is only rebuilt when one changes.
void ReadingOutput::ShowTemperatureUnit(const Text& unit) {
    if (SetUnitSuffix(temperatureUnitSuffix_, temperatureUnit_, unit)) {
        view_.SetColumnCaption(5, "Temp [\xBA" + temperatureUnitSuffix_);
    }
}

void ReadingOutput::ShowViscosityUnit(const Text& unit) {
    if (SetUnitSuffix(viscosityUnitSuffix_, viscosityUnit_, unit)) {
        view_.SetColumnCaption(7, "Viscosity [" + viscosityUnitSuffix_);
    }
}

bool ReadingOutput::StartSession(const std::string& path, SessionStart how, bool quietFailure) {
    file_.Close();  // the previous session's file, when there is one
    // A header goes only into a file that starts empty: never into the middle of one, even
    // when a header was still pending from a session closed before any reading.
    std::error_code error;
    session_.HeaderPending =
        how == SessionStart::New || !std::filesystem::exists(FileSystemPath(path), error);
    session_.SessionFilePath = path;
    const bool opened =
        how == SessionStart::New ? file_.OpenForWriting(path) : file_.OpenForAppending(path);
    if (!opened) {
        if (quietFailure) {
            session_.SessionFilePath.clear();
        } else {
            AbandonSession();  // at once, not with a lost reading later
        }
        return false;
    }
    view_.SetCaption(kCaptionPrefix + path);
    view_.SetCloseCommandEnabled(true);
    for (RecordingObserver* observer : observers_) {
        observer->SessionStarted(path);
    }
    return true;
}

void ReadingOutput::EndSession() {
    file_.Close();
    session_.SessionFilePath.clear();
    session_.ProcessStarted = false;
    view_.SetCloseCommandEnabled(false);
    view_.SetCaption(kNoFileCaption);
}

void ReadingOutput::RecordReading(const Reading& reading, const Text& messageDate,
                                  std::string_view rawText) {
    history_.Store(reading);
    view_.RefreshMonitor();
    if (!observers_.empty()) {
        const RecordedReading recorded{reading, messageDate, temperatureUnit_, viscosityUnit_,
                                       std::chrono::system_clock::now()};
        for (RecordingObserver* observer : observers_) {
            observer->ReadingRecorded(recorded);
        }
    }

    if (!session_.SessionFilePath.empty() && session_.HeaderPending) {
        const Text header =
            HeaderLine(configuration_, temperatureUnitSuffix_, viscosityUnitSuffix_) + "\r\n";
        if (!file_.WriteLine(header)) {
            AbandonSession(rawText);
            return;
        }
        session_.HeaderPending = false;
    }
    if (!session_.ProcessStarted) {
        session_.ProcessStarted = true;
        log_.LogEvent(EventKind::ProcessStart, Text());
    }
    if (session_.SessionFilePath.empty()) {
        return;
    }
    row_.clear();
    AppendRow(row_, configuration_, reading, messageDate);
    row_ += kCrLf;
    if (!file_.WriteLine(row_) || !file_.CommitRow()) {
        AbandonSession(rawText);
    }
}

void ReadingOutput::AbandonSession(std::string_view rawText) {
    awaitingUser_ = true;
    boxes_.Show(kCannotAccessFile, kProgramTitle, MessageIcon::Critical, MessageButtons::Ok);
    awaitingUser_ = false;
    file_.Close();
    session_.SessionFilePath.clear();
    session_.ProcessStarted = false;
    log_.LogEvent(EventKind::ProcessEnd, Text(rawText));
    view_.SetCaption(kNoFileCaption);
}

}  // namespace rheo
