#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "publishing/Outbox.h"
#include "publishing/PublishingOptions.h"

struct mosquitto;
struct mosquitto_message;

namespace rheo {

// Sends what the outbox holds to an MQTT broker, on a network thread of its own, so that the
// recording path only ever adds to the outbox. Each connection sends what is left, oldest first,
// with QoS 1, and a message leaves the outbox when the broker has acknowledged it (PUBACK);
// what was sent but not acknowledged when a connection broke is sent again on the next one,
// with the same seq. The status topic carries {"state":"online",...} (retained) from each
// connection, and the broker's last will {"state":"offline"} when the link breaks.
// Connections are retried after 1 s, doubling to 60 s. A problem (the broker unreachable, the
// login refused, the certificate not verified) is told to `report` in one line, once until
// the next connection succeeds or the problem changes; `report` is called on the network
// thread.
class MqttPublisher {
  public:
    using Report = std::function<void(const std::string& line)>;

    MqttPublisher(PublishingOptions options, std::string instrument, Outbox& outbox, Report report);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Checks the options, reads the password file and starts the network thread; false with
    // `error` when the options are refused (nothing is then sent).
    bool Start(std::string& error);
    // Publishes {"state":"offline"}, disconnects and ends the network thread.
    void Stop();
    // The port's state in the online status ("open", "lost", ...): published again at once
    // while connected.
    void SetPortState(std::string state);
    bool Connected() const { return connected_; }
    // Messages acknowledged by the broker since the start.
    std::int64_t Acknowledged() const { return acknowledged_; }

  private:
    void Run();
    bool Session();
    mosquitto* NewClient();
    void Feed(mosquitto* client);
    void RemoveAcknowledged(bool now);
    void PublishOnline(mosquitto* client);
    void Problem(const std::string& line);
    void WaitFor(std::chrono::seconds delay);

    static void OnConnect(mosquitto* client, void* self, int rc);
    static void OnPublish(mosquitto* client, void* self, int mid);
    static void OnLog(mosquitto* client, void* self, int level, const char* text);

    PublishingOptions options_;
    BrokerAddress address_;
    std::string instrument_;
    std::string password_;
    std::string statusTopic_;
    Outbox& outbox_;
    Report report_;

    std::thread thread_;
    std::mutex mutex_;  // stopping_, portState_ and the wait
    std::condition_variable wake_;
    bool stopping_ = false;
    std::string portState_;
    std::atomic<bool> statusChanged_ = false;

    // Touched by the network thread only (the callbacks run inside its loop).
    std::map<int, std::int64_t> inFlight_;  // message id of the client -> outbox id
    std::vector<std::int64_t> acknowledgedIds_;
    std::chrono::steady_clock::time_point lastRemoval_;
    std::chrono::steady_clock::time_point lastCheckpoint_;
    std::int64_t cursor_ = 0;  // the newest outbox id handed to the client
    int refusal_ = 0;          // the broker's answer to the login, when it refused it
    std::string tlsError_;     // the TLS library's complaint during the attempt
    std::string lastProblem_;
    std::atomic<bool> connected_ = false;
    std::atomic<std::int64_t> acknowledged_ = 0;
};

}  // namespace rheo
