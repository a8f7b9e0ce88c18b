#pragma once
#include <array>

#include "vocabulary/Text.h"

namespace rheo {

struct PortEntry {
    Text text;
    bool enabled = true;
};

inline constexpr const char* kPortToolTip = "Select communication port";

// What the main window shows of the serial link: the port button's caption and its four
// drop-down entries; while the open port is lost, a warning picture and a tool tip that says so.
struct PortMarks {
    Text buttonCaption = "Port";
    Text toolTip = kPortToolTip;
    bool lost = false;
    std::array<PortEntry, 4> entries{
        {{"Port 1", true}, {"Port 2", true}, {"Port 3", true}, {"Port 4", true}}};
    bool operator==(const PortMarks&) const = default;
};

inline bool operator==(const PortEntry& a, const PortEntry& b) {
    return a.text == b.text && a.enabled == b.enabled;
}

// The engine's view of the main window. Texts are Windows-1252, except that the caption may
// carry a path in the file system's own encoding.
class MonitorView {
  public:
    virtual ~MonitorView() = default;
    virtual void RefreshMonitor() = 0;  // rebuild the list from the reading history
    virtual void SetColumnCaption(int column, const Text& caption) = 0;  // column 1 to 9
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetCloseCommandEnabled(bool enabled) = 0;
    virtual void ShowPortMarks(const PortMarks& marks) = 0;
};

// A view that shows nothing: for the tools.
class NoMonitorView : public MonitorView {
  public:
    void RefreshMonitor() override {}
    void SetColumnCaption(int, const Text&) override {}
    void SetCaption(const std::string&) override {}
    void SetCloseCommandEnabled(bool) override {}
    void ShowPortMarks(const PortMarks&) override {}
};

}  // namespace rheo
