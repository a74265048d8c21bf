// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's part of the word statuses: the answer for a line's words, the learner's
// marks, imports in batches (undone as a whole when one does not finish), and the lists for the
// export and the counts.
#pragma once

#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

#include "store/DatabaseStore.h"
#include "store/StoreSupport.h"

namespace lirra::server {
namespace detail {

// Imports name written words (?1): each counts as the form the learner (`learner`, a parameter
// such as "?4") gave it, if any.
inline std::string formOf(const char* learner) {
    return std::string("coalesce((SELECT form FROM word_forms WHERE learner_id = ") + learner +
           " AND word = ?1), ?1)";
}

template <class D>
bool putStatus(typename D::Connection& db, std::int64_t learner, const std::string& word,
               const std::string& status, std::int64_t now, bool resolve) {
    if (status == "new") {
        const std::string sql = "DELETE FROM word_statuses WHERE learner_id = ?2 AND form = " +
                                (resolve ? formOf("?2") : "?1");
        auto st = db.statement(sql.c_str());
        st.bind(1, word).bind(2, learner);
        return st.run();
    }
    // "WHERE true" keeps SQLite from reading ON CONFLICT as a join's ON.
    const std::string sql =
        "INSERT INTO word_statuses (learner_id, form, status, changed_at) SELECT ?4, " +
        (resolve ? formOf("?4") : "?1") +
        ", ?2, ?3 WHERE true ON CONFLICT (learner_id, form) DO UPDATE SET status = "
        "excluded.status, "
        "changed_at = excluded.changed_at WHERE word_statuses.status <> excluded.status";
    auto st = db.statement(sql.c_str());
    st.bind(1, word).bind(2, status).bind(3, now).bind(4, learner);
    return st.run();
}

// Words per write of an import: a few milliseconds each, so that other writes get in between.
constexpr std::size_t kImportBatch = 2000;

// What a form's status was before the import first changed it (none: it was new).
template <class D>
bool rememberBefore(typename D::Connection& db, std::int64_t learner, std::int64_t importId,
                    const std::string& word) {
    const std::string sql =
        "INSERT INTO word_import_undo (import_id, form, status, changed_at) "
        "SELECT ?2, f, (SELECT status FROM word_statuses WHERE learner_id = ?3 AND form = f), "
        "(SELECT changed_at FROM word_statuses WHERE learner_id = ?3 AND form = f) FROM (SELECT " +
        formOf("?3") + " AS f) AS forms WHERE true ON CONFLICT DO NOTHING";
    auto st = db.statement(sql.c_str());
    st.bind(1, word).bind(2, importId).bind(3, learner);
    return st.run();
}

// An import that did not finish is undone, a batch of its words per write, each batch's undo
// rows going with it; a finished one only loses its undo rows. Then the import itself goes.
template <class D>
bool settleImport(typename D::Connection& db, std::int64_t learner, std::int64_t importId,
                  bool finished) {
    for (bool first = true;; first = false) {
        using Statement = typename D::Statement;
        if (!first) D::yieldToWaitingWriters();
        typename D::Transaction tx(db, D::Transaction::Kind::Write);
        if (!tx.begun()) return false;
        std::vector<std::tuple<std::string, std::optional<std::string>, std::int64_t>> rows;
        {
            auto st = db.statement(
                "SELECT form, status, changed_at FROM word_import_undo WHERE import_id = ?1 "
                "LIMIT ?2");
            st.bind(1, importId).bind(2, static_cast<std::int64_t>(kImportBatch));
            typename Statement::Step step;
            while ((step = st.step()) == Statement::Step::Row) {
                rows.emplace_back(
                    st.columnText(0),
                    st.columnIsNull(1) ? std::nullopt : std::optional(st.columnText(1)),
                    st.columnInt(2));
            }
            if (step == Statement::Step::Error) return false;
        }
        if (rows.empty()) {
            auto st = db.statement("DELETE FROM word_imports WHERE id = ?1");
            st.bind(1, importId);
            return st.run() && tx.commit();
        }
        for (const auto& [form, status, changedAt] : rows) {
            if (!finished && !status) {
                auto st =
                    db.statement("DELETE FROM word_statuses WHERE learner_id = ?2 AND form = ?1");
                st.bind(1, form).bind(2, learner);
                if (!st.run()) return false;
            } else if (!finished) {
                auto st = db.statement(
                    "INSERT INTO word_statuses (learner_id, form, status, changed_at) "
                    "VALUES (?4, ?1, ?2, ?3) ON CONFLICT (learner_id, form) DO UPDATE SET "
                    "status = excluded.status, changed_at = excluded.changed_at");
                st.bind(1, form).bind(2, *status).bind(3, changedAt).bind(4, learner);
                if (!st.run()) return false;
            }
            auto st =
                db.statement("DELETE FROM word_import_undo WHERE import_id = ?1 AND form = ?2");
            st.bind(1, importId).bind(2, form);
            if (!st.run()) return false;
        }
        if (!tx.commit()) return false;
    }
}

}  // namespace detail

template <class D>
StoreStatus DatabaseStore<D>::wordStatuses(std::int64_t learner,
                                           const std::vector<std::string>& words,
                                           std::vector<std::string>& statuses, std::string& error) {
    auto db = acquire(error);
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
    static const std::string sql =
        std::string(
            "SELECT coalesce((SELECT s.status FROM word_statuses s WHERE s.learner_id = ?2 AND "
            "s.form = coalesce((SELECT f.form FROM word_forms f WHERE f.learner_id = ?2 AND "
            "f.word = w.value), w.value)), 'new') FROM ") +
        D::kJsonTexts + " ORDER BY w.key";
    auto st = db->statement(sql.c_str());
    st.bind(1, list).bind(2, learner);
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

template <class D>
StoreStatus DatabaseStore<D>::setWordStatus(std::int64_t learner, const std::string& word,
                                            const std::string& form, const std::string& status,
                                            std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    if (word != form) {
        auto st = db->statement(
            "INSERT INTO word_forms (learner_id, word, form) VALUES (?3, ?1, ?2) "
            "ON CONFLICT (learner_id, word) DO UPDATE SET form = excluded.form");
        st.bind(1, word).bind(2, form).bind(3, learner);
        if (!st.run()) return failed(*db, error);
    } else {
        auto st = db->statement("DELETE FROM word_forms WHERE learner_id = ?2 AND word = ?1");
        st.bind(1, word).bind(2, learner);
        if (!st.run()) return failed(*db, error);
    }
    if (!detail::putStatus<D>(*db, learner, form, status, nowMs(), false) || !tx.commit())
        return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::importWords(std::int64_t learner,
                                          const std::vector<std::string>& words,
                                          const std::string& status, std::int64_t& changed,
                                          std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    std::int64_t importId = 0;
    {
        Transaction tx(*db, Transaction::Kind::Write);
        if (!tx.begun()) return failed(*db, error);
        auto st = db->statement("INSERT INTO word_imports (learner_id) VALUES (?1) RETURNING id");
        st.bind(1, learner);
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        importId = st.columnInt(0);
        if (!st.run() || !tx.commit()) return failed(*db, error);
    }
    const std::int64_t now = nowMs();
    changed = 0;
    auto batch = [&](std::size_t from) {
        Transaction tx(*db, Transaction::Kind::Write);
        if (!tx.begun()) return false;
        for (std::size_t i = from; i < std::min(words.size(), from + detail::kImportBatch); ++i) {
            if (!detail::rememberBefore<D>(*db, learner, importId, words[i])) return false;
            const std::int64_t before = D::totalChanges(*db);
            if (!detail::putStatus<D>(*db, learner, words[i], status, now, true)) return false;
            changed += D::totalChanges(*db) - before;
        }
        return tx.commit();
    };
    auto finish = [&] {
        Transaction tx(*db, Transaction::Kind::Write);
        auto st = db->statement("UPDATE word_imports SET finished = 1 WHERE id = ?1");
        st.bind(1, importId);
        return tx.begun() && st.run() && tx.commit();
    };
    for (std::size_t from = 0; from < words.size(); from += detail::kImportBatch) {
        if (from) D::yieldToWaitingWriters();
        if (!batch(from)) {
            const auto status = failed(*db, error);  // the reason, before undoing overwrites it
            detail::settleImport<D>(*db, learner, importId, false);  // or the next open does
            return status;
        }
    }
    if (!finish()) {
        const auto status = failed(*db, error);
        detail::settleImport<D>(*db, learner, importId, false);
        return status;
    }
    // Only the undo rows are left; the next open settles them if this does not.
    detail::settleImport<D>(*db, learner, importId, true);
    return StoreStatus::Ok;
}

template <class D>
bool settleWordImports(typename D::Connection& db) {
    using Statement = typename D::Statement;
    std::vector<std::tuple<std::int64_t, std::int64_t, bool>> imports;
    {
        auto st = db.statement("SELECT learner_id, id, finished FROM word_imports ORDER BY id");
        typename Statement::Step step;
        while ((step = st.step()) == Statement::Step::Row)
            imports.emplace_back(st.columnInt(0), st.columnInt(1), st.columnInt(2) != 0);
        if (step == Statement::Step::Error) return false;
    }
    for (const auto& [learner, id, finished] : imports) {
        if (!detail::settleImport<D>(db, learner, id, finished)) return false;
    }
    return true;
}

template <class D>
StoreStatus DatabaseStore<D>::markedWords(std::int64_t learner, const std::string& status,
                                          std::vector<std::string>& words, WordCounts& counts,
                                          std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Read);
    if (!tx.begun()) return failed(*db, error);
    {
        auto st = db->statement(
            "SELECT count(*) FILTER (WHERE status = 'known'), "
            "count(*) FILTER (WHERE status = 'learning') FROM word_statuses WHERE learner_id = ?1");
        st.bind(1, learner);
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        counts.known = st.columnInt(0);
        counts.learning = st.columnInt(1);
    }
    words.clear();
    if (status.empty()) return StoreStatus::Ok;
    auto st = db->statement(
        "SELECT form FROM word_statuses WHERE learner_id = ?2 AND status = ?1 ORDER BY form");
    st.bind(1, status).bind(2, learner);
    for (;;) {
        const auto step = st.step();
        if (step == Statement::Step::Error) return failed(*db, error);
        if (step == Statement::Step::Done) break;
        words.push_back(st.columnText(0));
    }
    return StoreStatus::Ok;
}

}  // namespace lirra::server
