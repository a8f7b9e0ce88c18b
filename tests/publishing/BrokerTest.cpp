// The publisher against a real Mosquitto broker on 127.0.0.1: readings arrive in order, each
// with its own texts; a broker that goes away and a publisher killed meanwhile lose nothing.
// TLS and logins are tested through the logger (tests/logger).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Processes.h"
#include "publishing/Publishing.h"
#include "recording/EventLog.h"
#include "recording/ObservedEventLog.h"

namespace rheo {
namespace {

using Json = nlohmann::json;
using test::WaitUntil;

// mosquitto_sub with a persistent QoS 1 session on lab/visco-1/#, as "topic payload" lines.
class Subscriber {
  public:
    Subscriber(const test::TempDir& directory, const test::Broker& broker)
        : output_(directory.File("sub.txt")) {
        const std::string port = std::to_string(broker.Port());
        // A retained message tells when the subscription is in place.
        test::Child({"mosquitto_pub", "-p", port, "-r", "-t", "lab/visco-1/ready", "-m", "1"},
                    output_)
            .Stop(0);
        process_ = std::make_unique<test::Child>(
            std::vector<std::string>{"mosquitto_sub", "-h", "127.0.0.1", "-p", port, "-q", "1",
                                     "-c", "-i", "rheo-test-sub", "-v", "-t", "lab/visco-1/#"},
            output_);
        EXPECT_TRUE(WaitUntil([this] { return !Messages("ready").empty(); }));
    }
    std::vector<std::string> Messages(const std::string& leaf) const {
        std::istringstream in(test::ReadFile(output_));
        std::vector<std::string> payloads;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("lab/visco-1/" + leaf + " ")) {
                payloads.push_back(line.substr(line.find(' ') + 1));
            }
        }
        return payloads;
    }

  private:
    std::string output_;
    std::unique_ptr<test::Child> process_;
};

struct Lines {
    std::mutex mutex;
    std::vector<std::string> lines;
    MqttPublisher::Report Report() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
};

Reading NumberedReading(int i) {
    Reading reading{"", "14:05:33", "LCP", "100", "27.5", "", std::to_string(1000 + i), "", "10.2"};
    reading.ViscosityError = i % 7 == 0 ? "Out of Range" : "";
    return reading;
}
const Text kDate = "05/12/2026", kC = "C", kCp = "cP";

TEST(MqttPublisher, ReadingsAndEventsArriveInOrderEachWithItsReading) {
    test::TempDir directory;
    test::Broker broker(directory);
    Subscriber subscriber(directory, broker);
    PublishingOptions options;
    options.url = broker.Url();
    options.base = "lab";
    Lines lines;
    const Configuration configuration;
    std::string error;
    auto publishing = Publishing::Start(options, "visco-1", directory.Path().string(),
                                        configuration, lines.Report(), error);
    ASSERT_TRUE(publishing) << error;
    publishing->Publisher().SetPortState("open");
    auto& observer = publishing->Observer();
    FixedClock clock("05/12/2026", "14:05:40");
    EventLog log(directory.File("vlog.txt"), clock);
    ObservedEventLog observedLog(log);
    observedLog.AddObserver(observer);

    for (int i = 1; i <= 60; ++i) {
        observer.ReadingRecorded({NumberedReading(i), kDate, kC, kCp, {}});
        if (i == 30) {
            observedLog.LogEvent(EventKind::ViscosityFault, "14:06:10 T: 27.5C\rcP: Out of Range");
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Messages("reading").size() >= 60; }));
    const auto readings = subscriber.Messages("reading");
    ASSERT_EQ(readings.size(), 60u);
    for (int i = 1; i <= 60; ++i) {
        const Json json = Json::parse(readings[i - 1]);
        EXPECT_EQ(json["seq"], i);  // each its own reading (its texts as the row: PayloadTest)
        EXPECT_EQ(json["viscosity"], NumberedReading(i).Viscosity);
        EXPECT_EQ(json["viscosity_error"], NumberedReading(i).ViscosityError);
    }
    // The event goes out as it was logged, and the log's own line is untouched.
    ASSERT_TRUE(WaitUntil([&] { return !subscriber.Messages("event").empty(); }));
    const Json event = Json::parse(subscriber.Messages("event").front());
    EXPECT_EQ(event["seq"], 1);
    EXPECT_EQ(event["kind"], "ViscosityFault");
    EXPECT_EQ(event["text"], "14:06:10 T: 27.5C\rcP: Out of Range");
    EXPECT_EQ(test::ReadFile(directory.File("vlog.txt")),
              "05/12/2026 14:05:40 Viscosity Error::14:06:10 T: 27.5C\rcP: Out of Range\r\n");
    EXPECT_TRUE(WaitUntil([&] {
        return subscriber.Messages("status").back().find(R"("port":"open")") != std::string::npos;
    }));
    // Acknowledged, removed; the outbox in the folder given, named after the instrument.
    ASSERT_TRUE(WaitUntil([&] { return publishing->Messages().Size() == 0; }));
    EXPECT_TRUE(std::filesystem::exists(directory.File("visco-1.outbox")));
    publishing.reset();
    EXPECT_TRUE(WaitUntil(
        [&] { return subscriber.Messages("status").back() == R"({"state":"offline"})"; }));
    EXPECT_EQ(lines.lines, std::vector<std::string>());
}

// The broker goes away mid-stream; the publisher, killed during the outage, is started again
// on its outbox and adds more; the broker comes back: every seq arrives, copies alike.
TEST(MqttPublisher, NothingIsLostWhenTheBrokerStopsAndThePublisherIsKilledMeanwhile) {
    test::TempDir directory;
    test::Broker broker(directory);
    Subscriber subscriber(directory, broker);
    const std::string log = directory.File("child.txt");
    const auto child = [&](int first, int count) {
        return std::make_unique<test::Child>(
            std::vector<std::string>{RHEO_PUBLISHING_CHILD, broker.Url(),
                                     directory.File("visco-1.outbox"), std::to_string(first),
                                     std::to_string(count)},
            log);
    };
    auto first = child(1, 60);
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Messages("reading").size() >= 10; }));
    broker.Stop();
    ASSERT_TRUE(WaitUntil([&] { return test::ReadFile(log).find("added") != std::string::npos; }));
    first->Stop(SIGKILL);  // mid-outage, with readings only in its outbox
    auto second = child(61, 20);
    ASSERT_TRUE(WaitUntil(
        [&] { return test::ReadFile(log).rfind("added") > test::ReadFile(log).find("added"); }));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the outage goes on a little
    broker.Start();
    std::map<std::int64_t, std::string> seen;
    bool alike = true;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const std::string& payload : subscriber.Messages("reading")) {
                const auto [at, added] = seen.emplace(Json::parse(payload)["seq"], payload);
                alike = alike && (added || at->second == payload);
            }
            return seen.size() >= 80;
        },
        std::chrono::seconds(60)))
        << seen.size() << " seqs\n"
        << test::ReadFile(log);
    EXPECT_TRUE(alike) << "two copies of one seq differ";
    EXPECT_EQ(seen.begin()->first, 1);
    EXPECT_EQ(seen.rbegin()->first, 80);
}

}  // namespace
}  // namespace rheo
