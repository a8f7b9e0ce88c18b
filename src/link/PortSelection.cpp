#include "link/PortSelection.h"

#include <string>

#include "vocabulary/Captions.h"

namespace rheo {

void PortSelection::Abrir_Puerto(std::uint8_t puerto) {
    // A lost port is closed already, but its marks are still those of the open port.
    int previous = state_ == LinkState::Lost ? link_.PortNumber() : 0;
    state_ = LinkState::Closed;  // whatever follows, the waiting for a lost port ends here
    if (link_.IsOpen()) {
        previous = link_.PortNumber();
        if (!link_.Close()) {
            FailurePath(puerto);
            return;
        }
    }
    link_.SetPortNumber(puerto);
    if (!link_.Open()) {
        FailurePath(puerto);
        return;
    }
    state_ = LinkState::Open;
    ticksToAttempt_ = kTicksPerAttempt;
    marks_.lost = false;
    marks_.toolTip = kPortToolTip;
    if (previous >= 1 && previous <= 4) {
        marks_.entries[previous - 1] = {"Port " + std::to_string(previous), true};
    }
    if (puerto >= 1 && puerto <= 4) {
        marks_.buttonCaption = "Port " + std::to_string(puerto);
        marks_.entries[puerto - 1] = {"> Port " + std::to_string(puerto), false};
    }
    view_.ShowPortMarks(marks_);
    storePort_(puerto);
}

void PortSelection::FailurePath(std::uint8_t puerto) {
    marks_ = PortMarks{};
    view_.ShowPortMarks(marks_);
    boxes_.Show("Error opening port" + std::to_string(puerto) + ", check the port is free",
                kProgramTitle, MessageIcon::None, MessageButtons::Ok);
}

void PortSelection::LinkLost() {
    link_.Close();
    if (state_ != LinkState::Open) {
        return;
    }
    state_ = LinkState::Lost;
    ticksToAttempt_ = kTicksPerAttempt;
    const std::string port = std::to_string(link_.PortNumber());
    marks_.lost = true;
    marks_.toolTip = "Port " + port + " lost: waiting for the device";
    view_.ShowPortMarks(marks_);
    log_.LogEvent(EventKind::PortLost, PortName());
}

void PortSelection::Tick() {
    if (state_ == LinkState::Closed || --ticksToAttempt_ > 0) {
        return;
    }
    ticksToAttempt_ = kTicksPerAttempt;
    if (state_ == LinkState::Open) {
        // A name turned to another device: what arrives is no longer this port's instrument.
        if (!link_.NameLeadsToOpenDevice()) {
            LinkLost();
        }
        return;
    }
    // A device that is not there costs no opening; one that is there but cannot be opened
    // (held by another program, not a serial device) is left alone until the next attempt.
    if (!link_.DevicePresent() || !link_.Open()) {
        return;
    }
    state_ = LinkState::Open;
    marks_.lost = false;
    marks_.toolTip = kPortToolTip;
    view_.ShowPortMarks(marks_);
    log_.LogEvent(EventKind::PortBack, PortName());
}

void PortSelection::Await(std::uint8_t puerto) {
    link_.Close();
    link_.SetPortNumber(puerto);
    state_ = LinkState::Lost;
    ticksToAttempt_ = 1;
}

std::string PortSelection::PortName() const {
    return names_ ? names_(link_.PortNumber()) : std::to_string(link_.PortNumber());
}

}  // namespace rheo
