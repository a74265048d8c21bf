// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's background work: jobs as rows, claimed by one owner at a time under a lease.
// A waiting job's lease_end is when it may first be claimed (a failed try waits there); a
// claimed job's is when its owner is taken to be gone.
#pragma once

#include "store/DatabaseStore.h"
#include "store/StoreSupport.h"

namespace lirra::server {
namespace detail {

// An update of a job that `owner` holds: NotFound when it holds none by that id.
template <class D, class Bind>
StoreStatus ownedJobUpdate(typename D::Connection& db, const char* sql, std::int64_t id,
                           const std::string& owner, Bind bind, std::string& error) {
    auto st = db.statement(sql);
    st.bind(1, id).bind(2, owner);
    bind(st);
    return oneRow(db, st, error, [&] { return st.run() ? StoreStatus::Ok : failed(db, error); });
}

}  // namespace detail

template <class D>
StoreStatus DatabaseStore<D>::enqueueJob(const std::string& kind, std::int64_t videoId,
                                         const std::string& parameters, std::int64_t capacity,
                                         bool& queued, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    {
        // Work done before for the video gives way to the new work, so rows do not pile up.
        auto st =
            db->statement("DELETE FROM jobs WHERE kind = ?1 AND video_id = ?2 AND state = 'done'");
        st.bind(1, kind).bind(2, videoId);
        if (!st.run()) return failed(*db, error);
    }
    auto st = db->statement(
        "INSERT INTO jobs (kind, video_id, parameters, state, lease_end, attempts, created_at) "
        "SELECT ?1, ?2, ?3, 'queued', ?4, 0, ?4 WHERE (SELECT count(*) FROM jobs WHERE kind = ?1 "
        "AND state = 'queued') < ?5 ON CONFLICT DO NOTHING RETURNING id");
    st.bind(1, kind).bind(2, videoId).bind(3, parameters).bind(4, nowMs()).bind(5, capacity);
    const auto step = st.step();
    if (step == Statement::Step::Error || (step == Statement::Step::Row && !st.run()))
        return failed(*db, error);
    if (!tx.commit()) return failed(*db, error);
    queued = step == Statement::Step::Row;
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::claimJob(const std::string& kind, const std::string& owner,
                                       std::int64_t leaseMs, Job& job, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    const std::string sql =
        "UPDATE jobs SET state = 'claimed', owner = ?2, lease_end = ?4, attempts = attempts + 1 "
        "WHERE id = (SELECT id FROM jobs WHERE kind = ?1 AND state IN ('queued', 'claimed') AND "
        "lease_end <= ?3 ORDER BY id LIMIT 1" +
        std::string(D::kClaimLock) + ") RETURNING id, video_id, parameters, attempts";
    const std::int64_t now = nowMs();
    auto st = db->statement(sql.c_str());
    st.bind(1, kind).bind(2, owner).bind(3, now).bind(4, now + leaseMs);
    return oneRow(*db, st, error, [&] {
        job = {st.columnInt(0), kind, st.columnInt(1), st.columnText(2), st.columnInt(3)};
        if (!st.run() || !tx.commit()) return failed(*db, error);
        return StoreStatus::Ok;
    });
}

template <class D>
StoreStatus DatabaseStore<D>::renewJob(std::int64_t id, const std::string& owner,
                                       std::int64_t leaseMs, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::ownedJobUpdate<D>(
        *db,
        "UPDATE jobs SET lease_end = ?3 WHERE id = ?1 AND owner = ?2 AND state = 'claimed' "
        "RETURNING id",
        id, owner, [&](Statement& st) { st.bind(3, nowMs() + leaseMs); }, error);
}

template <class D>
StoreStatus DatabaseStore<D>::finishJob(std::int64_t id, const std::string& owner,
                                        std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::ownedJobUpdate<D>(
        *db,
        "UPDATE jobs SET state = 'done', lease_end = ?3 WHERE id = ?1 AND owner = ?2 AND "
        "state = 'claimed' RETURNING id",
        id, owner, [&](Statement& st) { st.bind(3, nowMs()); }, error);
}

template <class D>
StoreStatus DatabaseStore<D>::failJob(std::int64_t id, const std::string& owner,
                                      std::int64_t maxAttempts, std::int64_t retryMs,
                                      std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    return detail::ownedJobUpdate<D>(
        *db,
        "UPDATE jobs SET state = CASE WHEN attempts >= ?3 THEN 'failed' ELSE 'queued' END, "
        "lease_end = ?4 WHERE id = ?1 AND owner = ?2 AND state = 'claimed' RETURNING id",
        id, owner, [&](Statement& st) { st.bind(3, maxAttempts).bind(4, nowMs() + retryMs); },
        error);
}

template <class D>
StoreStatus DatabaseStore<D>::jobOpen(const std::string& kind, std::int64_t videoId, bool& open,
                                      std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT 1 FROM jobs WHERE kind = ?1 AND video_id = ?2 AND state IN ('queued', 'claimed')");
    st.bind(1, kind).bind(2, videoId);
    const auto step = st.step();
    if (step == Statement::Step::Error) return failed(*db, error);
    open = step == Statement::Step::Row;
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::jobsToDo(const std::string& kind, const std::string& owner,
                                       std::int64_t& count, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT count(*) FROM jobs WHERE kind = ?1 AND (state = 'queued' OR (state = 'claimed' "
        "AND (owner = ?2 OR lease_end <= ?3)))");
    st.bind(1, kind).bind(2, owner).bind(3, nowMs());
    if (st.step() != Statement::Step::Row) return failed(*db, error);
    count = st.columnInt(0);
    return StoreStatus::Ok;
}

}  // namespace lirra::server
