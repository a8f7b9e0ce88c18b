#pragma once
// Shared pieces of the core tests: a window, message boxes, a file dialog and an event logger
// that record what they are told, and the engine as the program wires it on real files.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Engine.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/LiveSessionFile.h"
#include "platform/MonitorView.h"
#include "recording/EventLog.h"
#include "support/TempDir.h"

namespace rheo::test {

struct RecordingView : MonitorView {
    void RefreshMonitor() override { ++refreshes; }
    void SetColumnCaption(int column, const Text& text) override {
        columnCaptions.push_back({column, text});
    }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetCloseCommandEnabled(bool) override {}
    void ShowPortMarks(const PortMarks& shown) override { marks = shown; }

    int refreshes = 0;
    std::vector<std::pair<int, Text>> columnCaptions;
    std::string caption;
    PortMarks marks;
};

struct ShownMessage {
    Text text, title;
    MessageIcon icon;
    MessageButtons buttons;
};

struct ScriptedBoxes : MessageBoxes {
    MessageAnswer Show(const Text& text, const Text& title, MessageIcon icon,
                       MessageButtons buttons) override {
        shown.push_back({text, title, icon, buttons});
        if (whileShown) {
            whileShown();
        }
        return answer;
    }
    std::vector<ShownMessage> shown;
    MessageAnswer answer = MessageAnswer::Ok;
    std::function<void()> whileShown;  // what happens while the box waits for the user
};

struct ScriptedDialog : FileDialog {
    std::optional<std::string> ChooseFile(const Text&, const std::vector<FileFilter>& filters,
                                          const Text&) override {
        lastFilters = filters;
        return answer;
    }
    std::optional<std::string> answer;
    std::vector<FileFilter> lastFilters;
};

struct RecordingLogger : EventLogger {
    void LogEvent(EventKind kind, const Text& text) override { events.push_back({kind, text}); }
    std::vector<std::pair<EventKind, Text>> events;
};

inline constexpr const char* kAborted = "Cannot access file. Process aborted";
inline const std::string kHeader =
    "Date,Hour,Spindle,RPM,Temp [\272C],Error T,Viscosity [cP],Error V,%\r\n";

inline void OpenNewSession(Engine& engine, const std::string& path) {
    ASSERT_TRUE(engine.StartSession(path, SessionStart::New));
}

// The port button and its entries while `port` is open (or lost).
inline PortMarks OpenMarks(int port, bool lost = false) {
    PortMarks marks;
    marks.buttonCaption = "Port " + std::to_string(port);
    marks.entries[port - 1] = {"> Port " + std::to_string(port), false};
    marks.lost = lost;
    marks.toolTip = lost ? marks.buttonCaption + " lost: waiting for the device" : kPortToolTip;
    return marks;
}

// The engine on a live session file and an event log in a temporary directory.
struct EngineOnDisk : ::testing::Test {
    TempDir dir;
    Configuration configuration;
    FixedClock clock{"05/12/2026", "14:05:40"};
    EventLog log{dir.File("vlog.txt"), clock};
    LiveSessionFile file;
    RecordingView view;
    ScriptedBoxes boxes;
    ReadingHistory history;
    Engine engine{configuration, clock, log, file, view, boxes, history};
};

// The instrument's message as it prints it: three lines, each ended by a carriage return.
inline std::string Message(const std::string& hour = "14:05:33", const std::string& rpm = "100",
                           const std::string& temperature = "27.5C",
                           const std::string& viscosity = "cP: 00001250",
                           const std::string& torque = "10.2") {
    return hour + "   sp: LCP    rpm: " + rpm + "   T: " + temperature + "\r" + viscosity +
           "\r %: " + torque + "\r";
}

}  // namespace rheo::test
