#include "recording/ReadingOutput.h"

namespace rheo {

Text HeaderLine(const Configuration& configuration, const Text& temperatureUnitSuffix,
                const Text& viscosityUnitSuffix) {
    const Text& s = configuration.FieldSeparator;
    return "Date" + s + "Hour" + s + "Spindle" + s + "RPM" + s + "Temp [\xBA" +
           temperatureUnitSuffix + s + "Error T" + s + "Viscosity [" + viscosityUnitSuffix + s +
           "Error V" + s + "%";
}

Text RowLine(const Configuration& configuration, const Reading& reading, const Text& messageDate) {
    const Text& s = configuration.FieldSeparator;
    return messageDate + s + reading.Hour + s + reading.Spindle + s + reading.Rpm + s +
           reading.Temperature + s + reading.TemperatureError + s + reading.Viscosity + s +
           reading.ViscosityError + s + reading.Torque;
}

void ReadingOutput::ShowTemperatureUnit(const Text& unit) {
    view_.SetColumnCaption(5, "Temp [\xBA" + unit + "]");
    temperatureUnitSuffix_ = unit + "]";
}

void ReadingOutput::ShowViscosityUnit(const Text& unit) {
    view_.SetColumnCaption(7, "Viscosity [" + unit + "]");
    viscosityUnitSuffix_ = unit + "]";
}

void ReadingOutput::RecordReading(const Reading& reading, const Text& messageDate) {
    history_.Store(reading);
    view_.RefreshMonitor();

    if (!session_.SessionFilePath.empty() && session_.HeaderPending) {
        const Text header =
            HeaderLine(configuration_, temperatureUnitSuffix_, viscosityUnitSuffix_) + "\r\n";
        if (!file_.WriteLine(header)) {
            AbandonSession(true);
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
    const Text row = RowLine(configuration_, reading, messageDate) + "\r\n";
    if (!file_.WriteLine(row) || !file_.CommitRow()) {
        AbandonSession(true);
    }
}

void ReadingOutput::AbandonSession(bool withRawText) {
    awaitingUser_ = true;
    boxes_.Show(kCannotAccessFile, kProgramTitle, MessageIcon::Critical, MessageButtons::Ok);
    awaitingUser_ = false;
    file_.Close();
    session_.SessionFilePath.clear();
    session_.ProcessStarted = false;
    log_.LogEvent(EventKind::ProcessEnd, withRawText && rawText_ ? Text(rawText_()) : Text());
    view_.SetCaption(kNoFileCaption);
}

}  // namespace rheo
