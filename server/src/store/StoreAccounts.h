// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's accounts: learners, their sessions (by the token's hash) and the failed
// sign-ins the throttle counts.
#pragma once

#include "store/DatabaseStore.h"
#include "store/StoreSupport.h"

namespace lirra::server {
namespace detail {

// The columns readLearner reads, of the table named `t`.
inline std::string learnerColumns(const std::string& t = "learners") {
    return t + ".id, coalesce(" + t + ".name, ''), coalesce(" + t + ".password_hash, ''), " + t +
           ".admin, " + t + ".disabled, " + t + ".anonymous, " + t + ".created_at, " + t +
           ".last_seen_ms";
}

template <class Statement>
Learner readLearner(Statement& st, int first = 0) {
    return {st.columnInt(first),          st.columnText(first + 1),
            st.columnText(first + 2),     st.columnInt(first + 3) != 0,
            st.columnInt(first + 4) != 0, st.columnInt(first + 5) != 0,
            st.columnInt(first + 6),      st.columnInt(first + 7)};
}

template <class Connection>
StoreStatus nameTaken(Connection& db, const std::string& name, bool& taken, std::string& error) {
    auto st = db.statement("SELECT 1 FROM learners WHERE name = ?1");
    st.bind(1, name);
    const auto step = st.step();
    if (step == decltype(st)::Step::Error) return failed(db, error);
    taken = step == decltype(st)::Step::Row;
    return StoreStatus::Ok;
}

// A statement that changes one learner's row: NotFound when there is none.
template <class Connection, class Statement>
StoreStatus changedOne(Connection& db, Statement& st, std::string& error) {
    return oneRow(db, st, error, [&] { return st.run() ? StoreStatus::Ok : failed(db, error); });
}

// One statement of one parameter, run.
template <class Connection, class Value>
StoreStatus runWith(Connection& db, const char* sql, const Value& value, std::string& error) {
    auto st = db.statement(sql);
    st.bind(1, value);
    return st.run() ? StoreStatus::Ok : failed(db, error);
}

// The learner `condition` (on ?1 = `value`) picks; NotFound without one.
template <class Connection, class Value>
StoreStatus learnerWhere(Connection& db, const char* condition, const Value& value,
                         Learner& learner, std::string& error) {
    auto st =
        db.statement(("SELECT " + learnerColumns() + " FROM learners WHERE " + condition).c_str());
    st.bind(1, value);
    return oneRow(db, st, error, [&] {
        learner = readLearner(st);
        return StoreStatus::Ok;
    });
}

}  // namespace detail

template <class D>
StoreStatus DatabaseStore<D>::createLearner(const std::string& name,
                                            const std::string& passwordHash, bool admin,
                                            std::int64_t& id, bool& taken, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    if (detail::nameTaken(*db, name, taken, error) != StoreStatus::Ok) return StoreStatus::Failed;
    if (taken) return StoreStatus::Ok;
    // The one learner of the service before accounts, while nobody has claimed their data.
    auto claim = db->statement(
        "UPDATE learners SET name = ?1, password_hash = ?2, admin = ?3 WHERE id = 1 AND name IS "
        "NULL AND anonymous = 0 RETURNING id");
    claim.bind(1, name).bind(2, passwordHash).bind(3, std::int64_t{admin});
    auto step = claim.step();
    if (step == Statement::Step::Error || (step == Statement::Step::Row && !claim.run()))
        return failed(*db, error);
    if (step == Statement::Step::Row) {
        id = 1;
    } else {
        auto st = db->statement(
            "INSERT INTO learners (name, password_hash, admin, created_at) VALUES (?1, ?2, ?3, "
            "?4) RETURNING id");
        st.bind(1, name).bind(2, passwordHash).bind(3, std::int64_t{admin}).bind(4, nowMs());
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        id = st.columnInt(0);
        if (!st.run()) return failed(*db, error);
    }
    return tx.commit() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::createAnonymousLearner(std::int64_t& id, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st =
        db->statement("INSERT INTO learners (anonymous, created_at) VALUES (1, ?1) RETURNING id");
    st.bind(1, nowMs());
    if (st.step() != Statement::Step::Row) return failed(*db, error);
    id = st.columnInt(0);
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::nameLearner(std::int64_t id, const std::string& name,
                                          const std::string& passwordHash, bool& taken,
                                          std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    if (detail::nameTaken(*db, name, taken, error) != StoreStatus::Ok) return StoreStatus::Failed;
    if (taken) return StoreStatus::Ok;
    auto st = db->statement(
        "UPDATE learners SET name = ?2, password_hash = ?3, anonymous = 0 WHERE id = ?1 AND "
        "anonymous = 1 RETURNING id");
    st.bind(1, id).bind(2, name).bind(3, passwordHash);
    const StoreStatus status = detail::changedOne(*db, st, error);
    if (status != StoreStatus::Ok) return status;
    return tx.commit() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::learnerByName(const std::string& name, Learner& learner,
                                            std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::learnerWhere(*db, "name = ?1", name, learner, error);
}

template <class D>
StoreStatus DatabaseStore<D>::learnerById(std::int64_t id, Learner& learner, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::learnerWhere(*db, "id = ?1", id, learner, error);
}

template <class D>
StoreStatus DatabaseStore<D>::setPasswordHash(std::int64_t id, const std::string& passwordHash,
                                              std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement("UPDATE learners SET password_hash = ?2 WHERE id = ?1 RETURNING id");
    st.bind(1, id).bind(2, passwordHash);
    return detail::changedOne(*db, st, error);
}

template <class D>
StoreStatus DatabaseStore<D>::setLearnerDisabled(std::int64_t id, bool disabled,
                                                 std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement("UPDATE learners SET disabled = ?2 WHERE id = ?1 RETURNING id");
    st.bind(1, id).bind(2, std::int64_t{disabled});
    return detail::changedOne(*db, st, error);
}

template <class D>
StoreStatus DatabaseStore<D>::namedLearners(std::vector<Learner>& learners, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(("SELECT " + detail::learnerColumns() +
                             " FROM learners WHERE name IS NOT NULL ORDER BY name")
                                .c_str());
    learners.clear();
    for (;;) {
        switch (st.step()) {
            case Statement::Step::Row:
                learners.push_back(detail::readLearner(st));
                continue;
            case Statement::Step::Done:
                return StoreStatus::Ok;
            case Statement::Step::Error:
                return failed(*db, error);
        }
    }
}

template <class D>
StoreStatus DatabaseStore<D>::serviceFigures(ServiceFigures& figures, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT (SELECT count(*) FROM learners WHERE name IS NOT NULL), (SELECT count(*) FROM "
        "learners WHERE anonymous = 1), (SELECT count(*) FROM sessions WHERE expires_at > ?1), "
        "(SELECT count(*) FROM videos), (SELECT count(*) FROM subtitles)");
    st.bind(1, nowMs());
    if (st.step() != Statement::Step::Row) return failed(*db, error);
    figures = {st.columnInt(0), st.columnInt(1), st.columnInt(2), st.columnInt(3), st.columnInt(4)};
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::createSession(const std::string& tokenHash, std::int64_t learner,
                                            std::int64_t lifetimeMs, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    const std::int64_t now = nowMs();
    auto st = db->statement(
        "INSERT INTO sessions (token_hash, learner_id, created_at, expires_at, last_used_ms) "
        "VALUES (?1, ?2, ?3, ?4, ?3)");
    st.bind(1, tokenHash).bind(2, learner).bind(3, now).bind(4, now + lifetimeMs);
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::useSession(const std::string& tokenHash, std::int64_t lifetimeMs,
                                         std::int64_t touchAfterMs, Learner& learner,
                                         std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    const std::int64_t now = nowMs();
    std::int64_t lastUsed = 0;
    {
        auto st = db->statement(
            ("SELECT s.last_used_ms, " + detail::learnerColumns("l") +
             " FROM sessions s JOIN learners l ON l.id = s.learner_id WHERE s.token_hash = ?1 AND "
             "s.expires_at > ?2 AND l.disabled = 0")
                .c_str());
        st.bind(1, tokenHash).bind(2, now);
        const StoreStatus found = oneRow(*db, st, error, [&] {
            lastUsed = st.columnInt(0);
            learner = detail::readLearner(st, 1);
            return st.run() ? StoreStatus::Ok : failed(*db, error);
        });
        if (found != StoreStatus::Ok) return found;
    }
    // Writing on every request would make every page view a write; a minute's slack is enough.
    if (now - lastUsed < touchAfterMs) return StoreStatus::Ok;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    auto touch = db->statement(
        "UPDATE sessions SET last_used_ms = ?2, expires_at = ?3 WHERE token_hash = ?1");
    touch.bind(1, tokenHash).bind(2, now).bind(3, now + lifetimeMs);
    auto seen = db->statement("UPDATE learners SET last_seen_ms = ?2 WHERE id = ?1");
    seen.bind(1, learner.id).bind(2, now);
    if (!touch.run() || !seen.run() || !tx.commit()) return failed(*db, error);
    learner.lastSeenMs = now;
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::deleteSession(const std::string& tokenHash, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::runWith(*db, "DELETE FROM sessions WHERE token_hash = ?1", tokenHash, error);
}

template <class D>
StoreStatus DatabaseStore<D>::deleteSessions(std::int64_t learner, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::runWith(*db, "DELETE FROM sessions WHERE learner_id = ?1", learner, error);
}

template <class D>
StoreStatus DatabaseStore<D>::recordSigninFailure(const std::string& key, std::int64_t windowMs,
                                                  std::int64_t& failures, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "INSERT INTO signin_failures (key, failures, window_start_ms) VALUES (?1, 1, ?2) "
        "ON CONFLICT (key) DO UPDATE SET "
        "failures = CASE WHEN signin_failures.window_start_ms <= ?2 - ?3 THEN 1 "
        "ELSE signin_failures.failures + 1 END, "
        "window_start_ms = CASE WHEN signin_failures.window_start_ms <= ?2 - ?3 THEN ?2 "
        "ELSE signin_failures.window_start_ms END RETURNING failures");
    st.bind(1, key).bind(2, nowMs()).bind(3, windowMs);
    if (st.step() != Statement::Step::Row) return failed(*db, error);
    failures = st.columnInt(0);
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::signinFailures(const std::string& key, std::int64_t windowMs,
                                             std::int64_t& failures, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT coalesce(max(failures), 0) FROM signin_failures WHERE key = ?1 AND "
        "window_start_ms > ?2");
    st.bind(1, key).bind(2, nowMs() - windowMs);
    if (st.step() != Statement::Step::Row) return failed(*db, error);
    failures = st.columnInt(0);
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::clearSigninFailures(const std::string& key, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::runWith(*db, "DELETE FROM signin_failures WHERE key = ?1", key, error);
}

}  // namespace lirra::server
