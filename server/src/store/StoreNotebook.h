// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's part of the learner's notebook: saving (once per line or word), listing with a
// search, deleting, and the mark an item gets when it has gone to Anki.
#pragma once

#include "store/DatabaseStore.h"
#include "store/StoreSupport.h"

namespace lirra::server {
namespace detail {

constexpr const char* kItemColumns =
    "id, video_id, video_name, start_ms, end_ms, text, translation, word, definition, "
    "created_at, coalesce(sent_at, 0), coalesce(anki_note_id, 0)";

template <class Statement>
NotebookItem readItem(const Statement& st) {
    NotebookItem item;
    item.id = st.columnInt(0);
    item.entry.videoId = st.columnInt(1);
    item.videoName = st.columnText(2);
    item.entry.startMs = st.columnInt(3);
    item.entry.endMs = st.columnInt(4);
    item.entry.text = st.columnText(5);
    item.entry.translation = st.columnText(6);
    item.entry.word = st.columnText(7);
    item.entry.definition = st.columnText(8);
    item.createdMs = st.columnInt(9);
    item.sentMs = st.columnInt(10);
    item.ankiNoteId = st.columnInt(11);
    return item;
}

// A LIKE pattern that finds `text` literally.
inline std::string likePattern(const std::string& text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

}  // namespace detail

template <class D>
StoreStatus DatabaseStore<D>::saveNotebookItem(std::int64_t learner, const NotebookEntry& entry,
                                               std::int64_t& id, bool& created,
                                               std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    std::string videoName;
    {
        auto st = db->statement("SELECT file_name FROM videos WHERE id = ?1");
        st.bind(1, entry.videoId);
        const auto step = st.step();
        if (step == Statement::Step::Error) return failed(*db, error);
        if (step == Statement::Step::Done) return StoreStatus::NotFound;
        videoName = st.columnText(0);
        if (!st.run()) return failed(*db, error);
    }
    {
        auto st = db->statement(
            "INSERT INTO notebook_items (video_id, video_name, start_ms, end_ms, text, "
            "translation, word, definition, created_at, learner_id) VALUES (?1, ?2, ?3, ?4, ?5, "
            "?6, ?7, ?8, ?9, ?10) ON CONFLICT (learner_id, video_id, start_ms, end_ms, text, word) "
            "DO NOTHING RETURNING id");
        st.bind(1, entry.videoId).bind(2, videoName).bind(3, entry.startMs).bind(4, entry.endMs);
        st.bind(5, entry.text).bind(6, entry.translation).bind(7, entry.word);
        st.bind(8, entry.definition).bind(9, nowMs()).bind(10, learner);
        const auto step = st.step();
        if (step == Statement::Step::Error) return failed(*db, error);
        created = step == Statement::Step::Row;
        if (created) {
            id = st.columnInt(0);
            if (!st.run()) return failed(*db, error);
        }
    }
    if (!created) {
        auto st = db->statement(
            "SELECT id FROM notebook_items WHERE video_id = ?1 AND start_ms = ?2 AND end_ms = ?3 "
            "AND text = ?4 AND word = ?5 AND learner_id = ?6");
        st.bind(1, entry.videoId).bind(2, entry.startMs).bind(3, entry.endMs);
        st.bind(4, entry.text).bind(5, entry.word).bind(6, learner);
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        id = st.columnInt(0);
        if (!st.run()) return failed(*db, error);
    }
    if (!tx.commit()) return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::notebookItems(std::int64_t learner, const NotebookQuery& query,
                                            std::vector<NotebookItem>& items, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    // One statement per shape of query, so each stays cached.
    std::string sql = std::string("SELECT ") + detail::kItemColumns +
                      " FROM notebook_items WHERE learner_id = ?2";
    if (!query.search.empty()) {
        const std::string like = std::string(" ") + D::kCaseBlindLike + " ?3 ESCAPE '\\'";
        sql += " AND (text" + like + " OR translation" + like + " OR word" + like +
               " OR definition" + like + " OR video_name" + like + ")";
    }
    if (query.unsentOnly) sql += " AND sent_at IS NULL";
    sql += query.oldestFirst ? " ORDER BY id" : " ORDER BY id DESC";
    sql += " LIMIT ?1";
    auto st = db->statement(sql.c_str());
    st.bind(1, static_cast<std::int64_t>(query.limit)).bind(2, learner);
    if (!query.search.empty()) st.bind(3, detail::likePattern(query.search));
    items.clear();
    typename Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) items.push_back(detail::readItem(st));
    if (step == Statement::Step::Error) return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::notebookItem(std::int64_t learner, std::int64_t id,
                                           NotebookItem& item, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    const std::string sql = std::string("SELECT ") + detail::kItemColumns +
                            " FROM notebook_items WHERE id = ?1 AND learner_id = ?2";
    auto st = db->statement(sql.c_str());
    st.bind(1, id).bind(2, learner);
    return oneRow(*db, st, error, [&] {
        item = detail::readItem(st);
        return st.run() ? StoreStatus::Ok : failed(*db, error);
    });
}

template <class D>
StoreStatus DatabaseStore<D>::deleteNotebookItem(std::int64_t learner, std::int64_t id,
                                                 std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st =
        db->statement("DELETE FROM notebook_items WHERE id = ?1 AND learner_id = ?2 RETURNING id");
    st.bind(1, id).bind(2, learner);
    const auto step = st.step();
    if (step == Statement::Step::Error) return failed(*db, error);
    if (step == Statement::Step::Done) return StoreStatus::NotFound;
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

template <class D>
StoreStatus DatabaseStore<D>::markNotebookItemSent(std::int64_t learner, std::int64_t id,
                                                   std::int64_t noteId, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "UPDATE notebook_items SET sent_at = coalesce(sent_at, ?2), "
        "anki_note_id = coalesce(anki_note_id, ?3) WHERE id = ?1 AND learner_id = ?4 RETURNING id");
    st.bind(1, id).bind(2, nowMs()).bind(3, noteId).bind(4, learner);
    const auto step = st.step();
    if (step == Statement::Step::Error) return failed(*db, error);
    if (step == Statement::Step::Done) return StoreStatus::NotFound;
    return st.run() ? StoreStatus::Ok : failed(*db, error);
}

}  // namespace lirra::server
