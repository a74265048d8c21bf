// SPDX-License-Identifier: GPL-3.0-or-later
// SqliteStore's part of the word statuses: the answer for a line's words, the learner's marks,
// imports in one write, and the lists for the export and the counts.
#include <sqlite3.h>

#include <chrono>

#include "store/SqliteStore.h"
#include "store/SqliteSupport.h"

namespace lirra::server {
namespace {

using sqlite::Connection;
using sqlite::Statement;
using sqlite::Transaction;

// Imports name written words: each counts as the form the learner gave it, if any.
constexpr const char* kFormOf = "coalesce((SELECT form FROM word_forms WHERE word = ?1), ?1)";

bool putStatus(Connection& db, const std::string& word, const std::string& status, std::int64_t now,
               bool resolve) {
    const std::string form = resolve ? kFormOf : "?1";
    if (status == "new") {
        const std::string sql = "DELETE FROM word_statuses WHERE form = " + form;
        auto st = db.statement(sql.c_str());
        st.bind(1, word);
        return st.run();
    }
    // "WHERE true" keeps SQLite from reading ON CONFLICT as a join's ON.
    const std::string sql =
        "INSERT INTO word_statuses (form, status, changed_at) SELECT " + form +
        ", ?2, ?3 WHERE true ON CONFLICT (form) DO UPDATE SET status = excluded.status, "
        "changed_at = excluded.changed_at WHERE status <> excluded.status";
    auto st = db.statement(sql.c_str());
    st.bind(1, word).bind(2, status).bind(3, now);
    return st.run();
}

}  // namespace

StoreStatus SqliteStore::wordStatuses(const std::vector<std::string>& words,
                                      std::vector<std::string>& statuses, std::string& error) {
    auto db = pool_.acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Read);
    if (!tx.begun()) return failed(*db, error);
    // The words go in as one JSON array, so a thousand of them are one statement.
    std::string list = "[";
    for (const auto& word : words) {
        if (list.size() > 1) list += ',';
        list += '"';
        for (char c : word) {
            if (c == '"' || c == '\\') list += '\\';
            list += c;
        }
        list += '"';
    }
    list += ']';
    auto st = db->statement(
        "SELECT coalesce((SELECT s.status FROM word_statuses s WHERE s.form = "
        "coalesce((SELECT f.form FROM word_forms f WHERE f.word = w.value), w.value)), 'new') "
        "FROM json_each(?1) w ORDER BY w.key");
    st.bind(1, list);
    statuses.clear();
    statuses.reserve(words.size());
    for (;;) {
        const auto step = st.step();
        if (step == Statement::Step::Error) return failed(*db, error);
        if (step == Statement::Step::Done) break;
        statuses.push_back(st.columnText(0));
    }
    if (statuses.size() != words.size()) {
        error = "word statuses: the answer does not match the words";
        return StoreStatus::Failed;
    }
    return StoreStatus::Ok;
}

StoreStatus SqliteStore::setWordStatus(const std::string& word, const std::string& form,
                                       const std::string& status, std::string& error) {
    auto db = pool_.acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    if (word != form) {
        auto st = db->statement(
            "INSERT INTO word_forms (word, form) VALUES (?1, ?2) "
            "ON CONFLICT (word) DO UPDATE SET form = excluded.form");
        st.bind(1, word).bind(2, form);
        if (!st.run()) return failed(*db, error);
    } else {
        auto st = db->statement("DELETE FROM word_forms WHERE word = ?1");
        st.bind(1, word);
        if (!st.run()) return failed(*db, error);
    }
    if (!putStatus(*db, form, status, nowMs(), false) || !tx.commit()) return failed(*db, error);
    return StoreStatus::Ok;
}

StoreStatus SqliteStore::importWords(const std::vector<std::string>& words,
                                     const std::string& status, std::int64_t& changed,
                                     std::string& error) {
    auto db = pool_.acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    const std::int64_t now = nowMs();
    const std::int64_t before = sqlite3_total_changes(db->handle());
    for (const auto& word : words) {
        if (!putStatus(*db, word, status, now, true)) return failed(*db, error);
    }
    changed = sqlite3_total_changes(db->handle()) - before;
    if (!tx.commit()) return failed(*db, error);
    return StoreStatus::Ok;
}

StoreStatus SqliteStore::markedWords(const std::string& status, std::vector<std::string>& words,
                                     WordCounts& counts, std::string& error) {
    auto db = pool_.acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Read);
    if (!tx.begun()) return failed(*db, error);
    {
        auto st = db->statement(
            "SELECT count(*) FILTER (WHERE status = 'known'), "
            "count(*) FILTER (WHERE status = 'learning') FROM word_statuses");
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        counts.known = st.columnInt(0);
        counts.learning = st.columnInt(1);
    }
    words.clear();
    if (status.empty()) return StoreStatus::Ok;
    auto st = db->statement("SELECT form FROM word_statuses WHERE status = ?1 ORDER BY form");
    st.bind(1, status);
    for (;;) {
        const auto step = st.step();
        if (step == Statement::Step::Error) return failed(*db, error);
        if (step == Statement::Step::Done) break;
        words.push_back(st.columnText(0));
    }
    return StoreStatus::Ok;
}

}  // namespace lirra::server
