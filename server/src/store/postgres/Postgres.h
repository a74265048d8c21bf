// SPDX-License-Identifier: GPL-3.0-or-later
// RAII over libpq with the calls of the SQLite driver (store/Sqlite.h), so one SQL text and one
// calling code serve both: a connection with statements prepared once and cached, a statement
// that binds by index and steps through its rows, a transaction that rolls back unless
// committed, and a pool of connections of a bounded size that drops a broken connection and
// opens another on the next acquire. The SQL is written with SQLite's numbered parameters (?1);
// each is sent as PostgreSQL's $1. No exceptions: failures are flags and texts.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace lirra::server::pg {

// `sql` with each ?N outside quotes and comments written $N.
std::string postgresParameters(std::string_view sql);

class Connection;

class Statement {
  public:
    enum class Step { Row, Done, Error };

    Statement(Connection& connection, const std::string* name, int parameters);
    ~Statement();  // drops the rows and the bindings; the prepared statement stays cached
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;

    bool valid() const { return name_ != nullptr && ok_; }

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, std::string_view bytes);
    // SQLite's call for bytes read where they are; libpq copies nothing either way until the
    // statement runs, so here it is bind or bindBlob.
    Statement& bindInPlace(int index, std::string_view bytes, bool blob) {
        return blob ? bindBlob(index, bytes) : bind(index, bytes);
    }
    Statement& bindNull(int index);
    Statement& bindReal(int index, double value);

    // The first step runs the statement and holds all its rows; each step moves to the next.
    Step step();
    bool run();

    std::int64_t columnInt(int index) const;
    std::string columnText(int index) const;
    std::string columnBlob(int index) const;
    double columnReal(int index) const;
    bool columnIsNull(int index) const;

  private:
    struct Parameter {
        std::string bytes;
        bool null = true, binary = false;
    };
    Parameter* parameter(int index);

    Connection* connection_;
    const std::string* name_;
    std::vector<Parameter> parameters_;
    pg_result* result_ = nullptr;
    int row_ = -1;
    bool ok_ = true;
};

class Connection {
  public:
    // `conninfo` is a libpq URI or key=value string; `password`, when not empty, is used over
    // any in PGPASSFILE or ~/.pgpass.
    static std::unique_ptr<Connection> open(const std::string& conninfo,
                                            const std::string& password, std::string& error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool exec(const char* sql);
    // A cached prepared statement; an invalid one (valid() false) when the SQL doesn't compile.
    Statement statement(const char* sql);

    std::string lastError() const { return lastError_; }
    // Whether the last failure was one to answer "busy, try again" rather than a fault: a lock
    // or serialization conflict, or the server gone (the connection is then broken()).
    bool lastErrorBusy() const { return busy_; }
    bool broken() const;
    // The rows its INSERT, UPDATE and DELETE statements have changed since it opened, as
    // sqlite3_total_changes counts them.
    std::int64_t totalChanges() const { return changes_; }
    // Records the failure of `result` (null: of the connection itself).
    void noteError(const pg_result* result);
    pg_conn* handle() { return conn_; }

  private:
    explicit Connection(pg_conn* conn) : conn_(conn) {}

    struct Prepared {
        std::string name;
        int parameters;
    };

    pg_conn* conn_;
    std::map<std::string, Prepared, std::less<>> cache_;
    std::string lastError_;
    bool busy_ = false;
    std::int64_t changes_ = 0;

    friend class Statement;
};

// Read and Write both BEGIN: PostgreSQL locks rows, not the database, so a writer need not take
// a lock up front.
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

class ConnectionPool {
  public:
    ConnectionPool(std::string conninfo, std::string password, int size)
        : conninfo_(std::move(conninfo)), password_(std::move(password)), size_(size) {}

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

    // An idle connection, or a new one while fewer than `size` are out; waits a second at most
    // for one to come back. Empty with the reason in `error` and `busy` set when none came back
    // or the server cannot be reached (a restart: the next acquire tries again).
    Lease acquire(std::string& error, bool& busy);

  private:
    void release(std::unique_ptr<Connection> connection);

    std::string conninfo_, password_;
    int size_;
    int out_ = 0;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

}  // namespace lirra::server::pg
