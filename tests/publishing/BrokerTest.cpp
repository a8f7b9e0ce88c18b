// The publisher against a real Mosquitto broker on 127.0.0.1: readings arrive in order, equal
// to their rows; a broker that goes away and a publisher killed meanwhile lose nothing; TLS
// and logins are verified and their refusals told in one clear line.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Processes.h"
#include "publishing/MqttPublisher.h"
#include "publishing/Payloads.h"
#include "publishing/PublishingObserver.h"
#include "recording/EventLog.h"
#include "recording/ObservedEventLog.h"
#include "recording/ReadingOutput.h"

namespace rheo {
namespace {

using Json = nlohmann::json;
using test::WaitUntil;

constexpr const char* kInstrument = "visco-1";

// mosquitto_sub with a persistent QoS 1 session on lab/visco-1/#, its messages in a file as
// "topic payload" lines.
class Subscriber {
  public:
    Subscriber(const test::TempDir& directory, const test::Broker& broker,
               std::vector<std::string> extra = {})
        : output_(directory.File("sub.txt")) {
        const std::string port = std::to_string(broker.Port());
        // A retained message tells when the subscription is in place.
        std::vector<std::string> pub = {
            "mosquitto_pub",     "-h", "127.0.0.1", "-p", port, "-r", "-t",
            "lab/visco-1/ready", "-m", "1"};
        pub.insert(pub.end(), extra.begin(), extra.end());
        test::Child(pub, directory.File("pub.txt")).Stop(0);
        std::vector<std::string> args = {
            "mosquitto_sub", "-h", "127.0.0.1", "-p",           port, "-q", "1", "-c", "-i",
            "rheo-test-sub", "-v", "-t",        "lab/visco-1/#"};
        args.insert(args.end(), extra.begin(), extra.end());
        process_ = std::make_unique<test::Child>(args, output_);
        EXPECT_TRUE(WaitUntil([this] { return !Messages("ready").empty(); }));
    }
    // The payloads received on lab/visco-1/<leaf>, in their order.
    std::vector<std::string> Messages(const std::string& leaf) const {
        std::istringstream in(test::ReadFile(output_));
        std::vector<std::string> payloads;
        const std::string prefix = std::string("lab/visco-1/") + leaf + " ";
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with(prefix)) {
                payloads.push_back(line.substr(prefix.size()));
            }
        }
        return payloads;
    }
    // The seq of every reading received, with its payload; false when two copies differ.
    bool Seqs(std::map<std::int64_t, std::string>& seen, int& copies) const {
        seen.clear();
        copies = 0;
        for (const std::string& payload : Messages("reading")) {
            const std::int64_t seq = Json::parse(payload)["seq"];
            ++copies;
            if (const auto [at, added] = seen.emplace(seq, payload);
                !added && at->second != payload) {
                return false;
            }
        }
        return true;
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
    bool Has(const std::string& part) {
        std::lock_guard lock(mutex);
        for (const std::string& line : lines) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

Reading NumberedReading(int i) {
    return {"",
            "14:05:" + std::to_string(10 + i % 50),
            "LCP",
            "100",
            "27.5",
            "",
            std::to_string(1000 + i),
            i % 7 == 0 ? "Out of Range" : "",
            "10.2"};
}

TEST(MqttPublisher, ReadingsAndEventsArriveInOrderEachEqualToItsRow) {
    test::TempDir directory;
    test::Broker broker(directory);
    Subscriber subscriber(directory, broker);
    std::string error;
    auto outbox = Outbox::Open(directory.File("visco-1.outbox"), error);
    ASSERT_TRUE(outbox) << error;
    PublishingOptions options;
    options.url = broker.Url();
    options.base = "lab";
    Lines lines;
    MqttPublisher publisher(options, kInstrument, *outbox, lines.Report());
    publisher.SetPortState("open");
    ASSERT_TRUE(publisher.Start(error)) << error;

    const Configuration configuration;
    PublishingObserver observer(*outbox, configuration, "lab", kInstrument, lines.Report());
    FixedClock clock("05/12/2026", "14:05:40");
    EventLog log(directory.File("vlog.txt"), clock);
    ObservedEventLog observedLog(log);
    observedLog.AddObserver(observer);

    constexpr int kReadings = 60;
    const Text date = "05/12/2026", c = "C", cp = "cP";
    for (int i = 1; i <= kReadings; ++i) {
        observer.ReadingRecorded(
            {NumberedReading(i), date, c, cp, std::chrono::system_clock::now()});
        if (i == 30) {
            observedLog.LogEvent(EventKind::ViscosityFault, "14:06:10 T: 27.5C\rcP: Out of Range");
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Messages("reading").size() >= kReadings; }));
    const auto readings = subscriber.Messages("reading");
    ASSERT_EQ(readings.size(), static_cast<std::size_t>(kReadings));
    for (int i = 1; i <= kReadings; ++i) {
        const Json json = Json::parse(readings[i - 1]);
        EXPECT_EQ(json["seq"], i);
        Text row;
        for (const char* key : {"date", "hour", "spindle", "rpm", "temperature",
                                "temperature_error", "viscosity", "viscosity_error", "torque"}) {
            row += (row.empty() ? "" : ",") + json[key].get<std::string>();
        }
        EXPECT_EQ(row, RowLine(configuration, NumberedReading(i), date));
    }
    // The event goes out as it was logged, and the log's own line is untouched.
    ASSERT_TRUE(WaitUntil([&] { return !subscriber.Messages("event").empty(); }));
    const Json event = Json::parse(subscriber.Messages("event").front());
    EXPECT_EQ(event["seq"], 1);
    EXPECT_EQ(event["kind"], "ViscosityFault");
    EXPECT_EQ(event["text"], "14:06:10 T: 27.5C\rcP: Out of Range");
    EXPECT_EQ(test::ReadFile(directory.File("vlog.txt")),
              "05/12/2026 14:05:40 Viscosity Error::14:06:10 T: 27.5C\rcP: Out of Range\r\n");

    const Json online = Json::parse(subscriber.Messages("status").front());
    EXPECT_EQ(online["state"], "online");
    EXPECT_EQ(online["port"], "open");
    ASSERT_TRUE(WaitUntil([&] { return outbox->Size() == 0; }));  // acknowledged, removed
    publisher.Stop();
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Messages("status").size() == 2; }));
    EXPECT_EQ(subscriber.Messages("status").back(), R"({"state":"offline"})");
    EXPECT_TRUE(lines.lines.empty()) << lines.lines.front();
}

// The broker goes away mid-stream; the publisher, killed during the outage, is started again
// on its outbox and adds more; the broker comes back: every seq arrives, copies alike.
TEST(MqttPublisher, NothingIsLostWhenTheBrokerStopsAndThePublisherIsKilledMeanwhile) {
    test::TempDir directory;
    test::Broker broker(directory);
    Subscriber subscriber(directory, broker);
    const std::string outbox = directory.File("visco-1.outbox");
    const auto child = [&](int first, int count) {
        return std::make_unique<test::Child>(
            std::vector<std::string>{RHEO_PUBLISHING_CHILD, broker.Url(), outbox, kInstrument,
                                     std::to_string(first), std::to_string(count), "20"},
            directory.File("child.txt"));
    };
    auto first = child(1, 60);
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Messages("reading").size() >= 10; }))
        << test::ReadFile(directory.File("child.txt"));
    broker.Stop();
    ASSERT_TRUE(WaitUntil([&] {
        return test::ReadFile(directory.File("child.txt")).find("added") != std::string::npos;
    }));
    first->Stop(SIGKILL);  // mid-outage, with readings only in its outbox
    auto second = child(61, 20);
    ASSERT_TRUE(WaitUntil([&] {
        const std::string text = test::ReadFile(directory.File("child.txt"));
        return text.find("added") != text.rfind("added");
    }));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the outage goes on a little
    broker.Start();
    std::map<std::int64_t, std::string> seen;
    int copies = 0;
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Seqs(seen, copies) && seen.size() >= 80; },
                          std::chrono::seconds(60)))
        << seen.size() << " seqs\n"
        << test::ReadFile(directory.File("child.txt"));
    ASSERT_TRUE(subscriber.Seqs(seen, copies)) << "two copies of one seq differ";
    EXPECT_EQ(seen.begin()->first, 1);
    EXPECT_EQ(seen.rbegin()->first, 80);
    EXPECT_EQ(seen.size(), 80u);
    std::printf("outage: 80 readings, %d copies received (%d duplicates)\n", copies, copies - 80);
}

// A CA, a server certificate for 127.0.0.1 signed by it, and another CA; a password file.
class TlsBroker : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string d = directory_.Path().string();
        const std::string script =
            "cd '" + d +
            "' && "
            "for ca in ca other; do openssl req -x509 -newkey rsa:2048 -nodes -days 2"
            " -keyout $ca.key -out $ca.crt -subj \"/CN=Rheo test $ca\"; done &&"
            " openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr"
            " -subj /CN=127.0.0.1 &&"
            " printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext &&"
            " openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2"
            " -extfile san.ext -out server.crt &&"
            " mosquitto_passwd -c -b passwd logger right-secret"
            " && printf 'right-secret\\n' > right && printf 'wrong\\n' > wrong";
        ASSERT_EQ(std::system(("(" + script + ") > tls.log 2>&1").c_str()), 0)
            << test::ReadFile(d + "/tls.log");
        broker_ = std::make_unique<test::Broker>(
            directory_, "allow_anonymous false\npassword_file " + d + "/passwd\ncafile " + d +
                            "/ca.crt\ncertfile " + d + "/server.crt\nkeyfile " + d +
                            "/server.key\n");
    }

    // Publishes one reading with these files; true when the broker acknowledged it.
    bool Publish(const std::string& ca, const std::string& password, Lines& lines) {
        std::string error;
        auto outbox = Outbox::Open(directory_.File(ca + password + ".outbox"), error);
        PublishingOptions options;
        options.url = broker_->Url("mqtts");
        options.caFile = directory_.File(ca + ".crt");
        options.user = "logger";
        options.passwordFile = directory_.File(password);
        MqttPublisher publisher(options, kInstrument, *outbox, lines.Report());
        EXPECT_TRUE(publisher.Start(error)) << error;
        const Configuration configuration;
        PublishingObserver observer(*outbox, configuration, "lab", kInstrument, lines.Report());
        const Text date = "05/12/2026", c = "C", cp = "cP";
        observer.ReadingRecorded(
            {NumberedReading(1), date, c, cp, std::chrono::system_clock::now()});
        WaitUntil([&] { return outbox->Size() == 0 || !lines.lines.empty(); },
                  std::chrono::seconds(10));
        return outbox->Size() == 0;
    }

    test::TempDir directory_;
    std::unique_ptr<test::Broker> broker_;
};

TEST_F(TlsBroker, RightCredentialsPublishAndRefusalsAreToldClearly) {
    Lines right;
    EXPECT_TRUE(Publish("ca", "right", right));
    EXPECT_TRUE(right.lines.empty()) << right.lines.front();

    Lines wrongPassword;
    EXPECT_FALSE(Publish("ca", "wrong", wrongPassword));
    ASSERT_EQ(wrongPassword.lines.size(), 1u);
    EXPECT_EQ(wrongPassword.lines[0],
              "MQTT: the broker 127.0.0.1:" + std::to_string(broker_->Port()) +
                  " refused the login (Connection Refused: not authorised.)");

    Lines wrongCa;
    EXPECT_FALSE(Publish("other", "right", wrongCa));
    ASSERT_EQ(wrongCa.lines.size(), 1u);
    EXPECT_EQ(wrongCa.lines[0],
              "MQTT: the certificate of 127.0.0.1:" + std::to_string(broker_->Port()) +
                  " did not verify (certificate verify failed)");
}

}  // namespace
}  // namespace rheo
