#include "publishing/Outbox.h"

#include <sqlite3.h>

namespace rheo {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS messages("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, topic TEXT NOT NULL, payload BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS counters(topic TEXT PRIMARY KEY, last INTEGER NOT NULL);";

// Resets a statement after use whatever the way out.
class Use {
  public:
    explicit Use(sqlite3_stmt* statement) : statement_(statement) {}
    ~Use() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

  private:
    sqlite3_stmt* statement_;
};

void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return bytes ? std::string(bytes,
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                 : std::string();
}

}  // namespace

std::unique_ptr<Outbox> Outbox::Open(const std::string& path, std::string& error,
                                     std::int64_t limit) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<Outbox> outbox(new Outbox(db, limit));
    if (rc != SQLITE_OK) {
        error = "cannot open the outbox " + path + ": " + sqlite3_errmsg(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    if (!outbox->Execute("PRAGMA journal_mode=WAL") ||
        !outbox->Execute("PRAGMA synchronous=FULL") ||
        !outbox->Execute("PRAGMA wal_autocheckpoint=0") || !outbox->Execute(kSchema) ||
        !outbox->Prepare(error)) {
        if (error.empty()) {
            error = "cannot use the outbox " + path + ": " + sqlite3_errmsg(db);
        }
        return nullptr;
    }
    if (sqlite3_open_v2(path.c_str(), &outbox->checkpointDb_, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        error =
            "cannot open the outbox " + path + " twice: " + sqlite3_errmsg(outbox->checkpointDb_);
        return nullptr;
    }
    sqlite3_busy_timeout(outbox->checkpointDb_, 5000);
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM messages", -1, &count, nullptr);
    if (count && sqlite3_step(count) == SQLITE_ROW) {
        outbox->size_ = sqlite3_column_int64(count, 0);
    }
    sqlite3_finalize(count);
    return outbox;
}

Outbox::~Outbox() {
    for (sqlite3_stmt* statement : {lastSeq_, setSeq_, insert_, after_, remove_}) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(checkpointDb_);
    sqlite3_close(db_);  // the last connection: it checkpoints what is left
}

void Outbox::Checkpoint() {
    std::lock_guard lock(checkpointMutex_);
    sqlite3_wal_checkpoint_v2(checkpointDb_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

bool Outbox::Execute(const char* sql) {
    // journal_mode answers with a row; the others with none.
    sqlite3_stmt* statement = nullptr;
    const char* rest = sql;
    while (rest && *rest) {
        if (sqlite3_prepare_v2(db_, rest, -1, &statement, &rest) != SQLITE_OK) {
            return false;
        }
        if (!statement) {
            break;
        }
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) {
            return false;
        }
    }
    return true;
}

bool Outbox::Prepare(std::string& error) {
    const struct {
        sqlite3_stmt** statement;
        const char* sql;
    } statements[] = {
        {&lastSeq_, "SELECT last FROM counters WHERE topic = ?1"},
        {&setSeq_,
         "INSERT INTO counters(topic, last) VALUES(?1, ?2)"
         " ON CONFLICT(topic) DO UPDATE SET last = excluded.last"},
        {&insert_, "INSERT INTO messages(topic, payload) VALUES(?1, ?2)"},
        {&after_, "SELECT id, topic, payload FROM messages WHERE id > ?1 ORDER BY id LIMIT ?2"},
        {&remove_, "DELETE FROM messages WHERE id = ?1"},
    };
    for (const auto& entry : statements) {
        if (sqlite3_prepare_v2(db_, entry.sql, -1, entry.statement, nullptr) != SQLITE_OK) {
            error = std::string("cannot prepare the outbox: ") + sqlite3_errmsg(db_);
            return false;
        }
    }
    return true;
}

std::int64_t Outbox::LastSeq(std::string_view topic) {
    std::lock_guard lock(mutex_);
    Use use(lastSeq_);
    BindText(lastSeq_, 1, topic);
    return sqlite3_step(lastSeq_) == SQLITE_ROW ? sqlite3_column_int64(lastSeq_, 0) : 0;
}

OutboxAdd Outbox::Add(std::string_view topic,
                      const std::function<std::string(std::int64_t)>& payload) {
    return AddAll({OutboxMessage{std::string(topic), payload}}).front();
}

std::vector<OutboxAdd> Outbox::AddAll(const std::vector<OutboxMessage>& messages) {
    std::lock_guard lock(mutex_);
    std::vector<OutboxAdd> results;
    if (!Execute("BEGIN IMMEDIATE")) {
        return std::vector<OutboxAdd>(messages.size(), OutboxAdd::Failed);
    }
    // The size and the fullness change only when the whole transaction is committed.
    std::int64_t size = size_;
    bool full = full_;
    bool ok = true;
    for (const OutboxMessage& message : messages) {
        std::int64_t seq = 1;
        {
            Use use(lastSeq_);
            BindText(lastSeq_, 1, message.topic);
            if (sqlite3_step(lastSeq_) == SQLITE_ROW) {
                seq = sqlite3_column_int64(lastSeq_, 0) + 1;
            }
        }
        {
            Use use(setSeq_);
            BindText(setSeq_, 1, message.topic);
            sqlite3_bind_int64(setSeq_, 2, seq);
            ok = sqlite3_step(setSeq_) == SQLITE_DONE;
        }
        // A refused message still takes its seq: the gap tells a consumer that one was lost.
        const bool room = size < limit_;
        if (ok && room) {
            const std::string text = message.payload(seq);
            Use use(insert_);
            BindText(insert_, 1, message.topic);
            sqlite3_bind_blob(insert_, 2, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
            ok = sqlite3_step(insert_) == SQLITE_DONE;
        }
        if (!ok) {
            break;
        }
        if (room) {
            ++size;
            full = false;
            results.push_back(OutboxAdd::Queued);
        } else {
            results.push_back(full ? OutboxAdd::Full : OutboxAdd::BecameFull);
            full = true;
        }
    }
    if (!ok || !Execute("COMMIT")) {
        Execute("ROLLBACK");
        return std::vector<OutboxAdd>(messages.size(), OutboxAdd::Failed);
    }
    size_ = size;
    full_ = full;
    return results;
}

std::vector<OutboxEntry> Outbox::After(std::int64_t afterId, std::size_t count) {
    std::lock_guard lock(mutex_);
    std::vector<OutboxEntry> entries;
    Use use(after_);
    sqlite3_bind_int64(after_, 1, afterId);
    sqlite3_bind_int64(after_, 2, static_cast<sqlite3_int64>(count));
    while (sqlite3_step(after_) == SQLITE_ROW) {
        entries.push_back(
            {sqlite3_column_int64(after_, 0), ColumnText(after_, 1), ColumnText(after_, 2)});
    }
    return entries;
}

bool Outbox::Remove(const std::vector<std::int64_t>& ids) {
    if (ids.empty()) {
        return true;
    }
    std::lock_guard lock(mutex_);
    if (!Execute("BEGIN IMMEDIATE")) {
        return false;
    }
    std::int64_t removed = 0;
    bool ok = true;
    for (const std::int64_t id : ids) {
        Use use(remove_);
        sqlite3_bind_int64(remove_, 1, id);
        ok = ok && sqlite3_step(remove_) == SQLITE_DONE;
        removed += sqlite3_changes(db_);
    }
    if (!ok || !Execute("COMMIT")) {
        Execute("ROLLBACK");
        return false;
    }
    size_ -= removed;
    return true;
}

std::int64_t Outbox::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

}  // namespace rheo
