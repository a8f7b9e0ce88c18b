#include "publishing/MqttPublisher.h"

#include <mosquitto.h>

#include <algorithm>

#include "publishing/Payloads.h"
#include "publishing/TlsSetup.h"

namespace rheo {
namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kClientInFlight = 100;   // QoS 1 messages the client keeps unacknowledged
constexpr std::size_t kWindow = 1000;  // messages handed to the client and not yet acknowledged
constexpr std::size_t kRemovalBatch = 500;
constexpr auto kRemovalPeriod = std::chrono::milliseconds(100);
constexpr auto kCheckpointPeriod = std::chrono::seconds(1);
constexpr auto kFirstDelay = std::chrono::seconds(1);
constexpr auto kLongestDelay = std::chrono::seconds(60);

// The library is set up once for the whole program.
void InitialiseLibrary() {
    static const int done = mosquitto_lib_init();
    static_cast<void>(done);
}

}  // namespace

MqttPublisher::MqttPublisher(PublishingOptions options, std::string instrument, Outbox& outbox,
                             Report report)
    : options_(std::move(options)),
      instrument_(std::move(instrument)),
      statusTopic_(PublishingTopic(options_.base, instrument_, "status")),
      outbox_(outbox),
      report_(std::move(report)) {}

MqttPublisher::~MqttPublisher() {
    Stop();
}

bool MqttPublisher::Start(std::string& error) {
    if (!options_.Check(error)) {
        return false;
    }
    address_ = *ParseBrokerUrl(options_.url, error);
    if (!options_.passwordFile.empty()) {
        const auto password = ReadPasswordFile(options_.passwordFile, error);
        if (!password) {
            return false;
        }
        password_ = *password;
    }
    InitialiseLibrary();
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void MqttPublisher::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void MqttPublisher::SetPortState(std::string state) {
    std::lock_guard lock(mutex_);
    portState_ = std::move(state);
    statusChanged_ = true;
}

void MqttPublisher::PublishOnline(mosquitto* client) {
    std::string port;
    {
        std::lock_guard lock(mutex_);
        port = portState_;
        statusChanged_ = false;
    }
    const std::string online = OnlinePayload(instrument_, std::chrono::system_clock::now(), port);
    mosquitto_publish(client, nullptr, statusTopic_.c_str(), static_cast<int>(online.size()),
                      online.data(), 1, true);
}

void MqttPublisher::Problem(const std::string& line) {
    if (line != lastProblem_) {
        lastProblem_ = line;
        if (report_) {
            report_(line);
        }
    }
}

void MqttPublisher::WaitFor(std::chrono::seconds delay) {
    // In steps of a second, checkpointing the outbox between them: readings go on arriving.
    for (auto waited = std::chrono::seconds(0); waited < delay; ++waited) {
        outbox_.Checkpoint();
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
            return;
        }
    }
}

void MqttPublisher::Run() {
    auto delay = kFirstDelay;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                break;
            }
        }
        if (Session()) {
            delay = kFirstDelay;  // the link was up: the next attempt comes soon
        }
        WaitFor(delay);
        delay = std::min(delay * 2, kLongestDelay);
    }
    RemoveAcknowledged(true);
}

mosquitto* MqttPublisher::NewClient() {
    // One client id per instrument: a connection left behind by a killed program is taken over
    // at once (its last will goes out before the new online status).
    const std::string id = options_.base + "-" + instrument_;
    mosquitto* client = mosquitto_new(id.c_str(), true, this);
    if (!client) {
        return nullptr;
    }
    mosquitto_int_option(client, MOSQ_OPT_SEND_MAXIMUM, kClientInFlight);
    const std::string offline = OfflinePayload();
    mosquitto_will_set(client, statusTopic_.c_str(), static_cast<int>(offline.size()),
                       offline.data(), 1, true);
    if (!options_.user.empty()) {
        mosquitto_username_pw_set(client, options_.user.c_str(),
                                  options_.passwordFile.empty() ? nullptr : password_.c_str());
    }
    if (address_.tls) {
        const std::string problem = SetUpTls(client, options_);
        if (!problem.empty()) {
            Problem(problem);
            mosquitto_destroy(client);
            return nullptr;
        }
    }
    mosquitto_connect_callback_set(client, &MqttPublisher::OnConnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::OnPublish);
    mosquitto_log_callback_set(client, &MqttPublisher::OnLog);
    return client;
}

// One connection, from the attempt to its end: true when the broker accepted it.
bool MqttPublisher::Session() {
    mosquitto* client = NewClient();
    if (!client) {
        return false;
    }
    // A fresh client for every connection: what the last one had sent unacknowledged is sent
    // again from the outbox, oldest first.
    inFlight_.clear();
    cursor_ = 0;
    refusal_ = 0;
    tlsError_.clear();
    const std::string where = address_.host + ":" + std::to_string(address_.port);
    // Not blocking: the TCP connection and the TLS handshake go on in the loop, which keeps an
    // eye on Stop.
    int rc =
        mosquitto_connect_async(client, address_.host.c_str(), address_.port, kKeepAliveSeconds);
    bool accepted = false;
    if (rc == MOSQ_ERR_SUCCESS) {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stopping_) {
                    break;
                }
            }
            rc = mosquitto_loop(client, 20, 1);
            if (rc != MOSQ_ERR_SUCCESS || refusal_ != 0) {
                break;
            }
            if (connected_) {
                accepted = true;
                if (statusChanged_) {
                    PublishOnline(client);
                }
                Feed(client);
                RemoveAcknowledged(false);
            }
            if (const auto now = std::chrono::steady_clock::now();
                now - lastCheckpoint_ > kCheckpointPeriod) {
                outbox_.Checkpoint();
                lastCheckpoint_ = now;
            }
        }
    }
    if (refusal_ == 4 || refusal_ == 5 || refusal_ == 134 || refusal_ == 135) {
        Problem("MQTT: the broker " + where + " refused the login (" +
                mosquitto_connack_string(refusal_) + ")");
    } else if (refusal_ != 0) {
        Problem("MQTT: the broker " + where + " refused the connection (" +
                mosquitto_connack_string(refusal_) + ")");
    } else if (!tlsError_.empty()) {
        Problem("MQTT: the certificate of " + where + " did not verify (" + tlsError_ + ")");
    } else if (rc != MOSQ_ERR_SUCCESS && !accepted) {
        Problem("MQTT: cannot reach the broker " + where + " (" + mosquitto_strerror(rc) +
                "); retrying");
    } else if (accepted && rc != MOSQ_ERR_SUCCESS) {
        Problem("MQTT: lost the broker " + where + "; the messages wait in the outbox");
    }
    if (connected_) {
        // A deliberate end: the status says so before the link goes (no last will then).
        const std::string offline = OfflinePayload();
        mosquitto_publish(client, nullptr, statusTopic_.c_str(), static_cast<int>(offline.size()),
                          offline.data(), 1, true);
        for (int i = 0; i < 10 && mosquitto_want_write(client); ++i) {
            mosquitto_loop(client, 20, 1);
        }
        mosquitto_disconnect(client);
        mosquitto_loop(client, 20, 1);
    }
    connected_ = false;
    mosquitto_destroy(client);
    RemoveAcknowledged(true);
    return accepted;
}

void MqttPublisher::Feed(mosquitto* client) {
    if (inFlight_.size() >= kWindow) {
        return;
    }
    for (const OutboxEntry& entry : outbox_.After(cursor_, kWindow - inFlight_.size())) {
        int mid = 0;
        const int rc = mosquitto_publish(client, &mid, entry.topic.c_str(),
                                         static_cast<int>(entry.payload.size()),
                                         entry.payload.data(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            return;  // the link broke: the loop notices
        }
        inFlight_[mid] = entry.id;
        cursor_ = entry.id;
    }
}

void MqttPublisher::RemoveAcknowledged(bool now) {
    const auto time = std::chrono::steady_clock::now();
    if (acknowledgedIds_.empty() ||
        (!now && acknowledgedIds_.size() < kRemovalBatch && time - lastRemoval_ < kRemovalPeriod)) {
        return;
    }
    // Removal is batched: one transaction for many acknowledgements. A removal lost to a crash
    // only means the message is sent once more, with its seq.
    if (outbox_.Remove(acknowledgedIds_)) {
        acknowledgedIds_.clear();
    } else {
        Problem("MQTT: cannot remove acknowledged messages from the outbox");
    }
    lastRemoval_ = time;
}

void MqttPublisher::OnConnect(mosquitto* client, void* self, int rc) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        publisher->refusal_ = rc;
        return;
    }
    publisher->lastProblem_.clear();
    publisher->connected_ = true;
    publisher->PublishOnline(client);
}

void MqttPublisher::OnPublish(mosquitto*, void* self, int mid) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    const auto found = publisher->inFlight_.find(mid);
    if (found == publisher->inFlight_.end()) {
        return;  // the status
    }
    publisher->acknowledgedIds_.push_back(found->second);
    publisher->inFlight_.erase(found);
    ++publisher->acknowledged_;
}

void MqttPublisher::OnLog(mosquitto*, void* self, int level, const char* text) {
    auto* publisher = static_cast<MqttPublisher*>(self);
    if (level == MOSQ_LOG_ERR && publisher->tlsError_.empty() && text != nullptr) {
        const std::string line = text;
        // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
        if (line.find("OpenSSL Error") != std::string::npos) {
            const auto colons = line.rfind("::");
            publisher->tlsError_ = colons == std::string::npos ? line : line.substr(colons + 2);
        }
    }
}

}  // namespace rheo
