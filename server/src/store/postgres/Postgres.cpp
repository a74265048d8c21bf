// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/Postgres.h"

#include <libpq-fe.h>
#include <poll.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace lirra::server::pg {
namespace {

constexpr Oid kBoolOid = 16, kByteaOid = 17;

// How long an acquire waits for a connection to come back before the pool answers busy.
constexpr auto kAcquireWait = std::chrono::seconds(1);

// SQLSTATEs that say "try again": the server going down or not yet up (57P0x, class 08), a
// conflict with another transaction (40001, 40P01), a lock not granted, too many connections.
bool busyState(const char* state) {
    if (!state) return false;
    if (std::strncmp(state, "08", 2) == 0) return true;
    for (const char* busy : {"57P01", "57P02", "57P03", "40001", "40P01", "55P03", "53300"})
        if (std::strcmp(state, busy) == 0) return true;
    return false;
}

std::string trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

struct Translated {
    std::string sql;
    int parameters = 0;
};

Translated translate(std::string_view sql) {
    Translated out;
    out.sql.reserve(sql.size());
    char quote = 0;  // ' or " while inside one
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;  // a doubled quote closes and reopens: the same text
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '-' && sql.substr(i, 2) == "--") {
            const std::size_t end = sql.find('\n', i);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
            out.sql.append(sql.substr(i, stop - i));
            i = stop - 1;
            continue;
        } else if (c == '/' && sql.substr(i, 2) == "/*") {
            const std::size_t end = sql.find("*/", i + 2);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
            out.sql.append(sql.substr(i, stop - i));
            i = stop - 1;
            continue;
        } else if (c == '?' && i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9') {
            int n = 0;
            std::from_chars(sql.data() + i + 1, sql.data() + sql.size(), n);
            if (n > out.parameters) out.parameters = n;
            out.sql += '$';
            continue;
        }
        out.sql += c;
    }
    return out;
}

}  // namespace

std::string postgresParameters(std::string_view sql) { return translate(sql).sql; }

Statement::Statement(Connection& connection, const std::string* name, int parameters)
    : connection_(&connection), name_(name), parameters_(parameters), ok_(name != nullptr) {}

Statement::Statement(Statement&& other) noexcept
    : connection_(other.connection_),
      name_(other.name_),
      parameters_(std::move(other.parameters_)),
      result_(other.result_),
      row_(other.row_),
      ok_(other.ok_) {
    other.result_ = nullptr;
}

Statement::~Statement() { PQclear(result_); }

Statement::Parameter* Statement::parameter(int index) {
    if (!valid()) return nullptr;
    // Bound after its first step, or a parameter it has not: a fault of the caller's, as in
    // SQLite, and the statement fails rather than running with what it had.
    if (result_ || index < 1 || index > static_cast<int>(parameters_.size())) {
        ok_ = false;
        connection_->noteError(nullptr);
        return nullptr;
    }
    return &parameters_[static_cast<std::size_t>(index - 1)];
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (auto* p = parameter(index)) *p = {std::to_string(value), false, false};
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    if (auto* p = parameter(index)) *p = {std::string(text), false, false};
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes) {
    // Binary: a BYTEA parameter's bytes as they are, none escaped.
    if (auto* p = parameter(index)) *p = {std::string(bytes), false, true};
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (auto* p = parameter(index)) *p = Parameter{};
    return *this;
}

Statement& Statement::bindReal(int index, double value) {
    // The shortest text that reads back as the same double.
    std::array<char, 32> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    if (auto* p = parameter(index)) *p = {std::string(text.data(), end), false, false};
    return *this;
}

Statement::Step Statement::step() {
    if (!valid()) return Step::Error;
    if (!result_) {
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        for (const auto& p : parameters_) {
            values.push_back(p.null ? nullptr : p.bytes.c_str());
            lengths.push_back(static_cast<int>(p.bytes.size()));
            formats.push_back(p.binary ? 1 : 0);
        }
        result_ =
            PQexecPrepared(connection_->handle(), name_->c_str(), static_cast<int>(values.size()),
                           values.data(), lengths.data(), formats.data(), 0);
        const auto status = PQresultStatus(result_);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            connection_->noteError(result_);
            ok_ = false;
            return Step::Error;
        }
        const std::string_view command = PQcmdStatus(result_);
        for (const std::string_view counted : {"INSERT", "UPDATE", "DELETE"}) {
            if (command.substr(0, counted.size()) == counted)
                connection_->changes_ += std::strtoll(PQcmdTuples(result_), nullptr, 10);
        }
        row_ = -1;
    }
    if (row_ + 1 >= PQntuples(result_)) return Step::Done;
    ++row_;
    return Step::Row;
}

bool Statement::run() {
    Step s;
    while ((s = step()) == Step::Row) {
    }
    return s == Step::Done;
}

std::int64_t Statement::columnInt(int index) const {
    if (columnIsNull(index)) return 0;
    const char* value = PQgetvalue(result_, row_, index);
    if (PQftype(result_, index) == kBoolOid) return value[0] == 't' ? 1 : 0;
    return std::strtoll(value, nullptr, 10);
}

std::string Statement::columnText(int index) const {
    if (columnIsNull(index)) return {};
    return std::string(PQgetvalue(result_, row_, index),
                       static_cast<std::size_t>(PQgetlength(result_, row_, index)));
}

std::string Statement::columnBlob(int index) const {
    if (PQftype(result_, index) != kByteaOid) return columnText(index);
    if (columnIsNull(index)) return {};
    std::size_t size = 0;
    unsigned char* bytes = PQunescapeBytea(
        reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row_, index)), &size);
    std::string out(reinterpret_cast<const char*>(bytes), bytes ? size : 0);
    PQfreemem(bytes);
    return out;
}

double Statement::columnReal(int index) const {
    return columnIsNull(index) ? 0.0 : std::strtod(PQgetvalue(result_, row_, index), nullptr);
}

bool Statement::columnIsNull(int index) const {
    // Out of range reads as NULL, as SQLite's columns do.
    return !result_ || row_ < 0 || row_ >= PQntuples(result_) || index < 0 ||
           index >= PQnfields(result_) || PQgetisnull(result_, row_, index);
}

std::unique_ptr<Connection> Connection::open(const std::string& conninfo,
                                             const std::string& password, std::string& error) {
    // A write waits a second at most for a row another holds, as SQLite's writers wait for its
    // lock, then fails busy (55P03) rather than queueing requests behind it without end.
    std::vector<const char*> keys{"dbname", "client_encoding", "connect_timeout", "options"};
    std::vector<const char*> values{conninfo.c_str(), "UTF8", "5", "-c lock_timeout=1000"};
    if (!password.empty()) {
        keys.push_back("password");
        values.push_back(password.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        error = "cannot connect to the database: " +
                (conn ? trimmed(PQerrorMessage(conn)) : std::string("out of memory"));
        PQfinish(conn);
        return nullptr;
    }
    // The server's notices (a table that already exists, say) are not failures: not printed.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return std::unique_ptr<Connection>(new Connection(conn));
}

Connection::~Connection() { PQfinish(conn_); }

bool Connection::exec(const char* sql) {
    PGresult* result = PQexec(conn_, sql);
    const auto status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) noteError(result);
    PQclear(result);
    return ok;
}

Statement Connection::statement(const char* sql) {
    auto it = cache_.find(std::string_view(sql));
    if (it == cache_.end()) {
        const Translated translated = translate(sql);
        const std::string name = "s" + std::to_string(cache_.size() + 1);
        PGresult* result = PQprepare(conn_, name.c_str(), translated.sql.c_str(), 0, nullptr);
        const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        if (!ok) noteError(result);
        PQclear(result);
        if (!ok) return Statement(*this, nullptr, 0);
        it = cache_.emplace(sql, Prepared{name, translated.parameters}).first;
    }
    return Statement(*this, &it->second.name, it->second.parameters);
}

bool Connection::broken() const { return PQstatus(conn_) != CONNECTION_OK; }

void Connection::noteError(const pg_result* result) {
    lastError_ = trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    if (lastError_.empty()) lastError_ = "no such parameter";
    busy_ = broken() || (result && busyState(PQresultErrorField(result, PG_DIAG_SQLSTATE)));
}

Transaction::Transaction(Connection& connection, Kind) : connection_(connection) {
    begun_ = connection_.exec("BEGIN");
}

Transaction::~Transaction() {
    if (begun_ && !finished_) connection_.exec("ROLLBACK");
}

bool Transaction::commit() {
    if (!begun_ || finished_) return false;
    // A transaction a failed statement aborted answers COMMIT with "ROLLBACK": not committed.
    PGresult* result = PQexec(connection_.handle(), "COMMIT");
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK &&
                    std::strcmp(PQcmdStatus(result), "COMMIT") == 0;
    if (!ok) connection_.noteError(result);
    PQclear(result);
    finished_ = true;
    return ok;
}

ConnectionPool::Lease::~Lease() {
    if (pool_ && connection_) pool_->release(std::move(connection_));
}

ConnectionPool::Lease ConnectionPool::acquire(std::string& error, bool& busy) {
    busy = false;
    std::unique_ptr<Connection> connection;
    {
        std::unique_lock lock(mutex_);
        if (!returned_.wait_for(lock, kAcquireWait,
                                [this] { return !idle_.empty() || out_ < size_; })) {
            error = "all " + std::to_string(size_) + " connections to the database are in use";
            busy = true;
            return Lease(this, nullptr);
        }
        ++out_;
        if (!idle_.empty()) {
            connection = std::move(idle_.back());
            idle_.pop_back();
        }
    }
    // An idle connection is sent nothing (no LISTEN) until its server goes away (a restart):
    // one with anything to read is dropped before a request fails on it.
    if (connection) {
        pollfd socket{PQsocket(connection->handle()), POLLIN, 0};
        if (connection->broken() || socket.fd < 0 || poll(&socket, 1, 0) != 0) connection.reset();
    }
    if (!connection) connection = Connection::open(conninfo_, password_, error);
    if (!connection) {
        std::lock_guard lock(mutex_);
        --out_;
        returned_.notify_one();
        busy = true;
        return Lease(this, nullptr);
    }
    return Lease(this, std::move(connection));
}

void ConnectionPool::release(std::unique_ptr<Connection> connection) {
    std::lock_guard lock(mutex_);
    --out_;
    if (!connection->broken()) idle_.push_back(std::move(connection));
    returned_.notify_one();
}

}  // namespace lirra::server::pg
