#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "publishing/PublishingOptions.h"

struct sqlite3;
struct sqlite3_stmt;

namespace rheo {

struct OutboxEntry {
    std::int64_t id;  // the outbox's order: oldest first, never reused
    std::string topic;
    std::string payload;
};

// A message to add: its topic, and its payload made from the seq it is given.
struct OutboxMessage {
    std::string topic;
    std::function<std::string(std::int64_t)> payload;
};

enum class OutboxAdd {
    Queued,
    BecameFull,  // the first message refused since the outbox last had room
    Full,        // refused again; said once already
    Failed,      // the database could not be written
};

// The messages waiting for the broker's acknowledgement, in a SQLite database (WAL,
// synchronous=FULL): a message added is on the disk when Add returns, so that neither a broker
// that is down nor the program's own end loses it. It also keeps each topic's message
// number (seq), which goes on across restarts and is never given twice, even to a message that
// was refused or after the messages were removed. Bounded: when it holds `limit` messages, new
// ones are refused. Safe to use from two threads (the recording path adds, the network side
// reads and removes).
class Outbox {
  public:
    // Opens or creates the database; nullptr with `error` when it cannot.
    static std::unique_ptr<Outbox> Open(const std::string& path, std::string& error,
                                        std::int64_t limit = kDefaultOutboxLimit);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Takes the topic's next seq and stores the message `payload(seq)` makes, in one
    // transaction.
    OutboxAdd Add(std::string_view topic, const std::function<std::string(std::int64_t)>& payload);
    // Several messages in one transaction, one flush of the disk for all of them: what Add
    // would answer for each, in order; every one Failed when the transaction cannot be written.
    std::vector<OutboxAdd> AddAll(const std::vector<OutboxMessage>& messages);
    // Up to `count` messages newer than `afterId`, oldest first.
    std::vector<OutboxEntry> After(std::int64_t afterId, std::size_t count);
    // Removes the messages acknowledged; false when the database could not be written.
    bool Remove(const std::vector<std::int64_t>& ids);
    std::int64_t Size() const;
    // The last seq given on `topic` (0 before the first).
    std::int64_t LastSeq(std::string_view topic);
    // Moves what the write-ahead log holds into the database, on a connection of its own and
    // without stopping Add: the inserting connection never checkpoints, so that a reading's
    // insert costs one commit and nothing more. Called now and then by the network side.
    void Checkpoint();

  private:
    Outbox(sqlite3* db, std::int64_t limit) : db_(db), limit_(limit) {}
    bool Prepare(std::string& error);
    bool Execute(const char* sql);

    mutable std::mutex mutex_;
    sqlite3* db_;
    sqlite3* checkpointDb_ = nullptr;
    std::mutex checkpointMutex_;
    std::int64_t limit_;
    std::int64_t size_ = 0;
    bool full_ = false;
    sqlite3_stmt* lastSeq_ = nullptr;
    sqlite3_stmt* setSeq_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* after_ = nullptr;
    sqlite3_stmt* remove_ = nullptr;
};

}  // namespace rheo
