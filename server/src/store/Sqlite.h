// SPDX-License-Identifier: GPL-3.0-or-later
// RAII over SQLite: a connection with cached prepared statements, a statement handle that
// resets itself, a transaction that rolls back unless committed, and a pool of connections so
// each request thread works on its own connection. No exceptions: failures are flags and texts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace lirra::server::sqlite {

class Connection;

class Statement {
  public:
    enum class Step { Row, Done, Error };

    Statement(Connection& connection, sqlite3_stmt* stmt);
    ~Statement();  // resets and clears bindings; the prepared statement stays cached
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;

    bool valid() const { return stmt_ != nullptr && ok_; }

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, std::string_view bytes);
    // A file's bytes (or text) read where they are rather than copied: they must outlive the
    // statement (megabytes, bound once each).
    Statement& bindInPlace(int index, std::string_view bytes, bool blob);
    Statement& bindNull(int index);
    // A named call of its own: an int argument would fit bind's int64 and a double alike.
    Statement& bindReal(int index, double value);

    Step step();
    // Runs a statement that returns no rows; false on an error.
    bool run();

    std::int64_t columnInt(int index) const;
    std::string columnText(int index) const;
    std::string columnBlob(int index) const;
    double columnReal(int index) const;
    bool columnIsNull(int index) const;

  private:
    Connection* connection_;
    sqlite3_stmt* stmt_;
    bool ok_ = true;
};

class Connection {
  public:
    // Opens (creating) the database with WAL, foreign keys and a busy time-out.
    static std::unique_ptr<Connection> open(const std::string& path, std::string& error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool exec(const char* sql);
    // A cached prepared statement; an invalid one (valid() false) when the SQL doesn't compile.
    Statement statement(const char* sql);

    std::string lastError() const;
    // Whether the last error was the write lock held by another past the busy wait.
    bool lastErrorBusy() const { return busy_; }
    void noteError(std::string message);
    sqlite3* handle() { return db_; }

  private:
    explicit Connection(sqlite3* db) : db_(db) {}

    sqlite3* db_;
    std::map<std::string, sqlite3_stmt*, std::less<>> cache_;
    std::string lastError_;
    bool busy_ = false;
};

// BEGIN IMMEDIATE for writers (takes the write lock up front, so the busy wait applies instead
// of a deadlock on upgrade), plain BEGIN (deferred) for readers. A writer waits at most a second
// behind another, then fails busy.
class Transaction {
  public:
    enum class Kind { Read, Write };
    Transaction(Connection& connection, Kind kind);
    ~Transaction();  // rolls back unless committed
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool begun() const { return begun_; }
    bool commit();

  private:
    Connection& connection_;
    bool begun_ = false;
    bool finished_ = false;
};

// For a writer of many short transactions, between two: lets the writers waiting for the lock
// in first (for a second at most), so none of them waits behind the whole series.
void yieldToWaitingWriters();

class ConnectionPool {
  public:
    explicit ConnectionPool(std::string path) : path_(std::move(path)) {}

    class Lease {
      public:
        Lease(ConnectionPool* pool, std::unique_ptr<Connection> connection)
            : pool_(pool), connection_(std::move(connection)) {}
        ~Lease();
        Lease(Lease&&) = default;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        explicit operator bool() const { return connection_ != nullptr; }
        Connection& operator*() { return *connection_; }
        Connection* operator->() { return connection_.get(); }

      private:
        ConnectionPool* pool_;
        std::unique_ptr<Connection> connection_;
    };

    // An idle connection, or a new one; empty (and error set) if none can be opened.
    Lease acquire(std::string& error);

  private:
    void release(std::unique_ptr<Connection> connection);

    std::string path_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

}  // namespace lirra::server::sqlite
