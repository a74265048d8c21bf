// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Sqlite.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace lirra::server::sqlite {

namespace {

// No write waits longer behind another: past it the caller is told the store is busy.
constexpr int kBusyWaitMs = 1000;

// Writers of this process waiting for the write lock, for writers of many transactions to let
// them in between two (yieldToWaitingWriters).
std::atomic<int> writersWaiting{0};

// Tries again every millisecond. SQLite's own time-out sleeps longer and longer between tries,
// so a writer that commits batch after batch would keep winning against it.
int retryWhileBusy(void*, int attempt) {
    if (attempt >= kBusyWaitMs) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

}  // namespace

void yieldToWaitingWriters() {
    for (int waited = 0; waited < kBusyWaitMs && writersWaiting.load() > 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Statement::Statement(Connection& connection, sqlite3_stmt* stmt)
    : connection_(&connection), stmt_(stmt), ok_(stmt != nullptr) {}

Statement::Statement(Statement&& other) noexcept
    : connection_(other.connection_), stmt_(other.stmt_), ok_(other.ok_) {
    other.stmt_ = nullptr;
}

Statement::~Statement() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (valid() && sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) ok_ = false;
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    if (valid() && sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8) != SQLITE_OK) {
        ok_ = false;
    }
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob is still a blob, not NULL: an empty file is held, not missing.
    if (valid() && sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(),
                                       bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK) {
        ok_ = false;
    }
    return *this;
}

Statement& Statement::bindInPlace(int index, std::string_view bytes, bool blob) {
    if (!valid()) return *this;
    const int rc = blob ? sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(),
                                              bytes.size(), SQLITE_STATIC)
                        : sqlite3_bind_text64(stmt_, index, bytes.data(), bytes.size(),
                                              SQLITE_STATIC, SQLITE_UTF8);
    if (rc != SQLITE_OK) ok_ = false;
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (valid() && sqlite3_bind_null(stmt_, index) != SQLITE_OK) ok_ = false;
    return *this;
}

Statement& Statement::bindReal(int index, double value) {
    if (valid() && sqlite3_bind_double(stmt_, index, value) != SQLITE_OK) ok_ = false;
    return *this;
}

Statement::Step Statement::step() {
    if (!valid()) return Step::Error;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return Step::Row;
    if (rc == SQLITE_DONE) return Step::Done;
    ok_ = false;
    connection_->noteError(sqlite3_errmsg(connection_->handle()));
    return Step::Error;
}

bool Statement::run() {
    Step s;
    while ((s = step()) == Step::Row) {
    }
    return s == Step::Done;
}

std::int64_t Statement::columnInt(int index) const { return sqlite3_column_int64(stmt_, index); }

std::string Statement::columnText(int index) const {
    const auto* text = sqlite3_column_text(stmt_, index);
    const int size = sqlite3_column_bytes(stmt_, index);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                : std::string();
}

std::string Statement::columnBlob(int index) const {
    const void* blob = sqlite3_column_blob(stmt_, index);
    const int size = sqlite3_column_bytes(stmt_, index);
    return blob ? std::string(static_cast<const char*>(blob), static_cast<std::size_t>(size))
                : std::string();
}

double Statement::columnReal(int index) const { return sqlite3_column_double(stmt_, index); }

bool Statement::columnIsNull(int index) const {
    return sqlite3_column_type(stmt_, index) == SQLITE_NULL;
}

std::unique_ptr<Connection> Connection::open(const std::string& path, std::string& error) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error =
            "cannot open the database " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<Connection> connection(new Connection(db));
    sqlite3_busy_handler(db, retryWhileBusy, nullptr);
    // WAL lets readers run beside the writer; NORMAL sync is durable across application crashes
    // and only a power cut can lose the last commits.
    // Beside another connection turning a new database to WAL, SQLite answers busy at once
    // rather than through the busy handler: the switch is tried again, as long as a write waits.
    bool wal = connection->exec("PRAGMA journal_mode=WAL");
    for (int waited = 0; !wal && connection->lastErrorBusy() && waited < kBusyWaitMs; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        wal = connection->exec("PRAGMA journal_mode=WAL");
    }
    if (!wal || !connection->exec("PRAGMA foreign_keys=ON") ||
        !connection->exec("PRAGMA synchronous=NORMAL")) {
        error = "cannot set up the database " + path + ": " + connection->lastError();
        return nullptr;
    }
    return connection;
}

Connection::~Connection() {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

bool Connection::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        noteError(message ? message : sqlite3_errmsg(db_));
        sqlite3_free(message);
        return false;
    }
    return true;
}

Statement Connection::statement(const char* sql) {
    auto it = cache_.find(std::string_view(sql));
    if (it == cache_.end()) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            noteError(sqlite3_errmsg(db_));
            sqlite3_finalize(stmt);
            return Statement(*this, nullptr);
        }
        it = cache_.emplace(sql, stmt).first;
    }
    return Statement(*this, it->second);
}

std::string Connection::lastError() const { return lastError_; }

void Connection::noteError(std::string message) {
    lastError_ = std::move(message);
    busy_ = (sqlite3_errcode(db_) & 0xFF) == SQLITE_BUSY;
}

Transaction::Transaction(Connection& connection, Kind kind) : connection_(connection) {
    if (kind == Kind::Read) {
        begun_ = connection_.exec("BEGIN");
        return;
    }
    ++writersWaiting;
    begun_ = connection_.exec("BEGIN IMMEDIATE");
    --writersWaiting;
}

Transaction::~Transaction() {
    if (begun_ && !finished_) connection_.exec("ROLLBACK");
}

bool Transaction::commit() {
    if (!begun_ || finished_) return false;
    if (!connection_.exec("COMMIT")) return false;  // still open: the destructor rolls back
    finished_ = true;
    return true;
}

ConnectionPool::Lease::~Lease() {
    if (pool_ && connection_) pool_->release(std::move(connection_));
}

ConnectionPool::Lease ConnectionPool::acquire(std::string& error) {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return Lease(this, std::move(connection));
        }
    }
    return Lease(this, Connection::open(path_, error));
}

void ConnectionPool::release(std::unique_ptr<Connection> connection) {
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(connection));
}

}  // namespace lirra::server::sqlite
