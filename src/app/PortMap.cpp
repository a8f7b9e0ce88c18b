#include "app/PortMap.h"

#include <utility>

#include "app/SettingsStore.h"
#include "platform/PathTrust.h"

namespace rheo {

std::string PortMap::Device(int port) {
    // Every file is looked at, so that a line another account planted is reported even where
    // an earlier file maps the port.
    const std::string name = "Port" + std::to_string(port);
    std::string found;
    bool honoured = false;
    for (const Source& source : sources_) {
        SettingValue mapped = ReadSetting(source.store, kHkeyLocalMachine, kSettingsKeyPath, name);
        auto* device = std::get_if<std::string>(&mapped);
        if (device == nullptr) {
            continue;
        }
        if (!PlaceOthersCanChange(source.file, true).empty()) {
            Ignored(source.file);
        } else if (!honoured) {
            honoured = true;
            found = std::move(*device);
        }
    }
    return found;
}

void PortMap::StartReporting(EventLogger& log) {
    log_ = &log;
    for (const std::string& file : std::exchange(waiting_, {})) {
        log_->LogEvent(EventKind::PortMapIgnored, file);
    }
}

void PortMap::Ignored(const std::string& file) {
    if (!told_.insert(file).second) {
        return;
    }
    if (log_ != nullptr) {
        log_->LogEvent(EventKind::PortMapIgnored, file);
    } else {
        waiting_.push_back(file);
    }
}

}  // namespace rheo
