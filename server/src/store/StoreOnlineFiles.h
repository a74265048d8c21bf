// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's files from the online subtitle database: offered to the client by the lookup
// (held once it uploads them) or held straight away when the service fetched them itself.
#pragma once

#include <optional>
#include <set>

#include "store/DatabaseStore.h"
#include "store/StoreAlignments.h"
#include "store/StoreSupport.h"

namespace lirra::server {
namespace detail {

// The languages of the video's held subtitles; nothing when the video is unknown.
template <class D>
std::optional<std::set<std::string>> heldLanguages(typename D::Connection& db,
                                                   std::int64_t videoId) {
    using Statement = typename D::Statement;
    {
        auto st = db.statement("SELECT 1 FROM videos WHERE id = ?1");
        st.bind(1, videoId);
        if (st.step() != Statement::Step::Row) return std::nullopt;
    }
    std::set<std::string> languages;
    auto st = db.statement(
        "SELECT DISTINCT language FROM subtitles WHERE video_id = ?1 AND original IS NOT NULL");
    st.bind(1, videoId);
    while (st.step() == Statement::Step::Row) languages.insert(st.columnText(0));
    return languages;
}

}  // namespace detail

template <class D>
StoreStatus DatabaseStore<D>::offerOnlineFiles(std::int64_t videoId,
                                               const std::vector<OnlineFile>& files,
                                               std::vector<std::int64_t>& ids, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    if (!detail::heldLanguages<D>(*db, videoId)) return StoreStatus::NotFound;
    const std::int64_t now = nowMs();
    ids.clear();
    for (const auto& file : files) {
        {
            // An earlier offer of the language that never came back is replaced, not piled up.
            auto st = db->statement(
                "DELETE FROM subtitles WHERE video_id = ?1 AND origin = 'online' AND "
                "language = ?2 AND original IS NULL");
            st.bind(1, videoId).bind(2, file.language);
            if (!st.run()) return failed(*db, error);
        }
        auto st = db->statement(
            "INSERT INTO subtitles (video_id, origin, file_name, language, created_at) "
            "VALUES (?1, 'online', ?2, ?3, ?4) RETURNING id");
        st.bind(1, videoId).bind(2, file.fileName).bind(3, file.language).bind(4, now);
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        ids.push_back(st.columnInt(0));
        if (!st.run()) return failed(*db, error);
    }
    if (!tx.commit()) return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::holdOnlineTracks(std::int64_t videoId,
                                               const std::vector<SubtitleContent>& tracks,
                                               std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    auto held = detail::heldLanguages<D>(*db, videoId);
    if (!held) return StoreStatus::NotFound;
    const std::int64_t now = nowMs();
    for (const auto& c : tracks) {
        // Held meanwhile (the client uploaded it, the learner added one): kept as it is.
        if (held->count(c.language)) continue;
        held->insert(c.language);
        if (insertTrack(*db, videoId, "online", c, now) < 0) return failed(*db, error);
    }
    if (!tx.commit()) return failed(*db, error);
    if (!tracks.empty()) refitLogged<D>(*db, fitter_, videoId);
    return StoreStatus::Ok;
}

}  // namespace lirra::server
