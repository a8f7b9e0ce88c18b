// A publisher for the broker tests to kill: publishes OUTBOX to URL under the base "lab" and
// adds COUNT readings numbered from FIRST, one every 20 ms, says "added", then goes on.
//   publishing_child URL OUTBOX FIRST COUNT
#include <cstdio>
#include <string>
#include <thread>

#include "publishing/MqttPublisher.h"
#include "publishing/PublishingObserver.h"

int main(int argc, char** argv) {
    std::string error = "publishing_child URL OUTBOX FIRST COUNT";
    const auto outbox = argc == 5 ? rheo::Outbox::Open(argv[2], error) : nullptr;
    if (!outbox) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    rheo::PublishingOptions options;
    options.url = argv[1];
    options.base = "lab";
    const auto report = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    rheo::MqttPublisher publisher(options, "visco-1", *outbox, report);
    if (!publisher.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const rheo::Configuration configuration;
    rheo::PublishingObserver observer(*outbox, configuration, "lab", "visco-1", report);
    const rheo::Text date = "05/12/2026", c = "C", cp = "cP";
    for (int i = std::stoi(argv[3]), end = i + std::stoi(argv[4]); i < end; ++i) {
        const rheo::Reading reading{
            "", "14:05:33", "LCP", "100", "27.5", "", std::to_string(1000 + i), "", "10.2"};
        observer.ReadingRecorded({reading, date, c, cp, std::chrono::system_clock::now()});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("added\n");
    std::fflush(stdout);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
