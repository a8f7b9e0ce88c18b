#include "recording/ObservedEventLog.h"

namespace rheo {

void ObservedEventLog::LogEvent(EventKind kind, const Text& text) {
    log_.LogEvent(kind, text);
    for (RecordingObserver* observer : observers_) {
        observer->EventLogged(kind, text);
    }
}

}  // namespace rheo
