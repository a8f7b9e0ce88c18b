// A publisher for the broker tests to kill: publishes OUTBOX to URL under the base "lab" and
// adds COUNT readings numbered from FIRST, one every 20 ms, says "added", then goes on.
//   publishing_child URL OUTBOX FIRST COUNT
#include <cstdio>
#include <string>
#include <thread>

#include "publishing/Publishing.h"

int main(int argc, char** argv) {
    std::string error = "publishing_child URL OUTBOX FIRST COUNT";
    rheo::PublishingOptions options;
    options.url = argc == 5 ? argv[1] : "";
    options.outbox = argc == 5 ? argv[2] : "";
    options.base = "lab";
    const rheo::Configuration configuration;
    const auto report = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const auto publishing =
        argc == 5 ? rheo::Publishing::Start(options, "visco-1", "", configuration, report, error)
                  : nullptr;
    if (!publishing) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const rheo::Text date = "05/12/2026", c = "C", cp = "cP";
    for (int i = std::stoi(argv[3]), end = i + std::stoi(argv[4]); i < end; ++i) {
        const rheo::Reading reading{
            "", "14:05:33", "LCP", "100", "27.5", "", std::to_string(1000 + i), "", "10.2"};
        publishing->Observer().ReadingRecorded(
            {reading, date, c, cp, std::chrono::system_clock::now()});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("added\n");
    std::fflush(stdout);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
