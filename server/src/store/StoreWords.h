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

// Imports name written words: each counts as the form the learner gave it, if any.
constexpr const char* kFormOf = "coalesce((SELECT form FROM word_forms WHERE word = ?1), ?1)";

template <class D>
bool putStatus(typename D::Connection& db, const std::string& word, const std::string& status,
               std::int64_t now, bool resolve) {
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
        ", ?2, ?3 WHERE true ON CONFLICT (form) DO UPDATE SET status = "
        "excluded.status, "
        "changed_at = excluded.changed_at WHERE word_statuses.status <> excluded.status";
    auto st = db.statement(sql.c_str());
    st.bind(1, word).bind(2, status).bind(3, now);
    return st.run();
}

// Words per write of an import: a few milliseconds each, so that other writes get in between.
constexpr std::size_t kImportBatch = 2000;

// What a form's status was before the import first changed it (none: it was new).
template <class D>
bool rememberBefore(typename D::Connection& db, std::int64_t importId, const std::string& word) {
    const std::string sql =
        std::string(
            "INSERT INTO word_import_undo (import_id, form, status, changed_at) "
            "SELECT ?2, f, (SELECT status FROM word_statuses WHERE form = f), "
            "(SELECT changed_at FROM word_statuses WHERE form = f) FROM (SELECT ") +
        kFormOf + " AS f) AS forms WHERE true ON CONFLICT DO NOTHING";
    auto st = db.statement(sql.c_str());
    st.bind(1, word).bind(2, importId);
    return st.run();
}

// An import that did not finish is undone, a batch of its words per write, each batch's undo
// rows going with it; a finished one only loses its undo rows. Then the import itself goes.
template <class D>
bool settleImport(typename D::Connection& db, std::int64_t importId, bool finished) {
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
                auto st = db.statement("DELETE FROM word_statuses WHERE form = ?1");
                st.bind(1, form);
                if (!st.run()) return false;
            } else if (!finished) {
                auto st = db.statement(
                    "INSERT INTO word_statuses (form, status, changed_at) VALUES (?1, ?2, ?3) "
                    "ON CONFLICT (form) DO UPDATE SET status = excluded.status, "
                    "changed_at = excluded.changed_at");
                st.bind(1, form).bind(2, *status).bind(3, changedAt);
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
StoreStatus DatabaseStore<D>::wordStatuses(const std::vector<std::string>& words,
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
            "SELECT coalesce((SELECT s.status FROM word_statuses s WHERE s.form = "
            "coalesce((SELECT f.form FROM word_forms f WHERE f.word = w.value), w.value)), 'new') "
            "FROM ") +
        D::kJsonTexts + " ORDER BY w.key";
    auto st = db->statement(sql.c_str());
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

template <class D>
StoreStatus DatabaseStore<D>::setWordStatus(const std::string& word, const std::string& form,
                                            const std::string& status, std::string& error) {
    auto db = acquire(error);
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
    if (!detail::putStatus<D>(*db, form, status, nowMs(), false) || !tx.commit())
        return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::importWords(const std::vector<std::string>& words,
                                          const std::string& status, std::int64_t& changed,
                                          std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    std::int64_t importId = 0;
    {
        Transaction tx(*db, Transaction::Kind::Write);
        if (!tx.begun()) return failed(*db, error);
        auto st = db->statement("INSERT INTO word_imports DEFAULT VALUES RETURNING id");
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
            if (!detail::rememberBefore<D>(*db, importId, words[i])) return false;
            const std::int64_t before = D::totalChanges(*db);
            if (!detail::putStatus<D>(*db, words[i], status, now, true)) return false;
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
            detail::settleImport<D>(*db, importId, false);  // or the next open does
            return status;
        }
    }
    if (!finish()) {
        const auto status = failed(*db, error);
        detail::settleImport<D>(*db, importId, false);
        return status;
    }
    detail::settleImport<D>(*db, importId,
                            true);  // only the undo rows left; the next open if not now
    return StoreStatus::Ok;
}

template <class D>
bool settleWordImports(typename D::Connection& db) {
    using Statement = typename D::Statement;
    std::vector<std::pair<std::int64_t, bool>> imports;
    {
        auto st = db.statement("SELECT id, finished FROM word_imports ORDER BY id");
        typename Statement::Step step;
        while ((step = st.step()) == Statement::Step::Row)
            imports.emplace_back(st.columnInt(0), st.columnInt(1) != 0);
        if (step == Statement::Step::Error) return false;
    }
    for (const auto& [id, finished] : imports) {
        if (!detail::settleImport<D>(db, id, finished)) return false;
    }
    return true;
}

template <class D>
StoreStatus DatabaseStore<D>::markedWords(const std::string& status,
                                          std::vector<std::string>& words, WordCounts& counts,
                                          std::string& error) {
    auto db = acquire(error);
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
