#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "vocabulary/EventLogger.h"

namespace rheo {

// The administrator's mapping of port numbers to devices: the text value "Port<N>" under the
// settings key, looked up in each of its files in turn (the port map file first, then the
// settings store). A file's mapping is honoured only while nobody but root and the user can
// change the file or the way to it, since a mapping that another operator could rewrite would
// hand this session their device. A file whose mapping is ignored gets one "Port map ignored::"
// line in the event log, once the log is given by StartReporting (start-up opens the stored port
// before the event log has its file).
class PortMap {
  public:
    struct Source {
        Registry& store;
        std::string file;  // where the store lives, for the check and the log line
    };

    explicit PortMap(std::vector<Source> sources) : sources_(std::move(sources)) {}

    // The device named for port N, or "" when no honoured file names one.
    std::string Device(int port);

    // What the serial link is given: Device on this map.
    std::function<std::string(int port)> Devices() {
        return [this](int port) { return Device(port); };
    }

    // From now on ignored files are logged at once; those met before are logged now.
    void StartReporting(EventLogger& log);

  private:
    void Ignored(const std::string& file);

    std::vector<Source> sources_;
    EventLogger* log_ = nullptr;
    std::vector<std::string> waiting_;
    std::set<std::string> told_;
};

}  // namespace rheo
