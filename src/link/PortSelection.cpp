#include "link/PortSelection.h"

#include <string>

#include "vocabulary/Texts.h"

namespace rheo {

void PortSelection::Abrir_Puerto(std::uint8_t puerto) {
    int previous = 0;
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
    marks_ = PortMarks{};
    view_.ShowPortMarks(marks_);
}

}  // namespace rheo
