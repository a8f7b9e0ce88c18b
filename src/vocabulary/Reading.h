#pragma once
#include "vocabulary/Text.h"

namespace rheo {

// One decoded measurement: nine texts in the order of the list's columns. Values stay text,
// exactly as received (with the configured decimal separator put in).
struct Reading {
    Text Date;
    Text Hour;
    Text Spindle;
    Text Rpm;
    Text Temperature;
    Text TemperatureError;
    Text Viscosity;
    Text ViscosityError;
    Text Torque;

    bool operator==(const Reading&) const = default;
};

}  // namespace rheo
