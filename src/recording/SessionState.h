#pragma once
#include <string>

#include "vocabulary/Captions.h"

namespace rheo {

// The session shared by the reading output and the session commands. A session is open
// exactly when SessionFilePath is not empty.
struct SessionState {
    std::string SessionFilePath;
    bool HeaderPending = false;   // the next reading writes the header line first
    bool ProcessStarted = false;  // "Start of process" logged for the current run of readings
};

}  // namespace rheo
