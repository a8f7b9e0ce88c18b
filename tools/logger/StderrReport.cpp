#include "StderrReport.h"

#include <cstdio>

#include "recording/EventLog.h"

namespace rheo::logger {

MessageAnswer StderrReport::Show(const Text& text, const Text&, MessageIcon, MessageButtons) {
    if (!holdBoxes_) {
        Error(text);
    }
    return MessageAnswer::Ok;
}

void StderrReport::LogEvent(EventKind kind, const Text& text) {
    log_.LogEvent(kind, text);
    if (!quiet_) {
        Line("", EventLine(kind, text, clock_));
    }
}

void StderrReport::Tell(std::string_view text) {
    if (!quiet_) {
        Line("", text);
    }
}

void StderrReport::Error(std::string_view text) {
    Line("error: ", text);
}

void StderrReport::Line(std::string_view prefix, std::string_view text) {
    std::string line = "rheotrack-logger: ";
    if (!instrument_.empty()) {
        line += instrument_;
        line += ": ";
    }
    line += prefix;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;  // a message box's line break: one space for both
        }
        // One line of plain ASCII whatever the reader's character set.
        line += c == '\r' || c == '\n' ? ' ' : (c < 0x20 || c >= 0x7F ? '?' : static_cast<char>(c));
    }
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace rheo::logger
