// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's memory of video files: where a looked-up video lies in a library folder,
// whether its container was read, and the tracks that came out of it.
#pragma once

#include "store/DatabaseStore.h"
#include "store/StoreAlignments.h"
#include "store/StoreSupport.h"

namespace lirra::server {

template <class D>
StoreStatus DatabaseStore<D>::videoFile(std::int64_t videoId, VideoFile& file, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT path, size, mtime_ns, scanned_at IS NOT NULL FROM video_files WHERE video_id = ?1");
    st.bind(1, videoId);
    return oneRow(*db, st, error, [&] {
        file = {st.columnText(0), static_cast<std::uint64_t>(st.columnInt(1)), st.columnInt(2),
                st.columnInt(3) != 0};
        return StoreStatus::Ok;
    });
}

template <class D>
StoreStatus DatabaseStore<D>::rememberVideoFile(std::int64_t videoId, const VideoFile& file,
                                                std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "INSERT INTO video_files (video_id, path, size, mtime_ns, found_at) "
        "SELECT id, ?2, ?3, ?4, ?5 FROM videos WHERE id = ?1 "
        "ON CONFLICT (video_id) DO UPDATE SET path = excluded.path, size = excluded.size, "
        "mtime_ns = excluded.mtime_ns, found_at = excluded.found_at");
    st.bind(1, videoId).bind(2, file.path).bind(3, static_cast<std::int64_t>(file.size));
    st.bind(4, file.mtimeNs).bind(5, nowMs());
    if (!st.run()) return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::holdContainerTracks(std::int64_t videoId,
                                                  const std::vector<SubtitleContent>& tracks,
                                                  std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    const std::int64_t now = nowMs();
    {
        // Marked first: a video whose container was read already gets nothing more from it.
        auto st = db->statement(
            "UPDATE video_files SET scanned_at = ?2 WHERE video_id = ?1 AND scanned_at IS NULL "
            "RETURNING video_id");
        st.bind(1, videoId).bind(2, now);
        const auto step = st.step();
        if (step == Statement::Step::Error) return failed(*db, error);
        if (step == Statement::Step::Done) return StoreStatus::NotFound;
        if (!st.run()) return failed(*db, error);
    }
    for (const auto& c : tracks) {
        if (insertTrack(*db, videoId, "container", c, now) < 0) return failed(*db, error);
    }
    if (!tx.commit()) return failed(*db, error);
    // A track from the video may be the new reference: the others are fitted to it anew.
    if (!tracks.empty()) refitLogged<D>(*db, fitter_, videoId);
    return StoreStatus::Ok;
}

}  // namespace lirra::server
