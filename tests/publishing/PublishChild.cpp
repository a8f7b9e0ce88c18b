// A publishing program for the broker tests, to be killed: publishes to URL what OUTBOX holds
// under the topic base "lab" and adds COUNT readings to it, one every DELAY ms (the first numbered
// FIRST, so that the test knows each one), then publishes until it is killed.
//   publishing_child URL OUTBOX INSTRUMENT FIRST COUNT DELAY
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "publishing/MqttPublisher.h"
#include "publishing/PublishingObserver.h"

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: publishing_child URL OUTBOX INSTRUMENT FIRST COUNT DELAY\n");
        return 2;
    }
    std::string error;
    const auto outbox = rheo::Outbox::Open(argv[2], error);
    if (!outbox) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    rheo::PublishingOptions options;
    options.url = argv[1];
    options.base = "lab";
    const auto report = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    rheo::MqttPublisher publisher(options, argv[3], *outbox, report);
    if (!publisher.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const rheo::Configuration configuration;
    rheo::PublishingObserver observer(*outbox, configuration, options.base, argv[3], report);
    const int first = std::stoi(argv[4]);
    const int count = std::stoi(argv[5]);
    for (int i = first; i < first + count; ++i) {
        rheo::Reading reading{"", "14:05:" + std::to_string(i % 60), "LCP", "100", "27.5",
                              "", std::to_string(1000 + i),          "",    "10.2"};
        const rheo::Text date = "05/12/2026", c = "C", cp = "cP";
        observer.ReadingRecorded({reading, date, c, cp, std::chrono::system_clock::now()});
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[6])));
    }
    std::printf("added\n");
    std::fflush(stdout);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
