// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's videos and their subtitles: the lookup, the uploads, the learner's own files,
// the tracks, and what the store does once when it opens.
#pragma once

#include <set>

#include "store/DatabaseStore.h"
#include "store/StoreAlignments.h"
#include "store/StoreSupport.h"
#include "store/StoreWords.h"
#include "subtitles/CuePack.h"

namespace lirra::server {
namespace detail {

inline std::string lookupKey(const VideoKey& key) {
    // Without a hash only the name tells videos apart; with one the name may change freely.
    if (key.hash == "0") return "name:" + key.fileName;
    return "hash:" + key.hash + ":" + std::to_string(key.size);
}

// Tracks held before their cues were kept get them once, each in a write of its own.
template <class D>
bool readCuesOfOlderTracks(typename D::Connection& db) {
    using Statement = typename D::Statement;
    std::vector<std::int64_t> ids;
    {
        auto st = db.statement(
            "SELECT id FROM subtitles WHERE original IS NOT NULL AND cues IS NULL ORDER BY id");
        typename Statement::Step step;
        while ((step = st.step()) == Statement::Step::Row) ids.push_back(st.columnInt(0));
        if (step == Statement::Step::Error) return false;
    }
    for (const std::int64_t id : ids) {
        std::string text;
        {
            auto st = db.statement("SELECT text FROM subtitles WHERE id = ?1");
            st.bind(1, id);
            if (st.step() != Statement::Step::Row) return false;
            text = st.columnText(0);
        }
        const std::string cues = packCues(parseSubtitle(text).cues);
        typename D::Transaction tx(db, D::Transaction::Kind::Write);
        auto st = db.statement("UPDATE subtitles SET cues = ?2 WHERE id = ?1 AND cues IS NULL");
        st.bind(1, id).bindBlob(2, cues);
        if (!tx.begun() || !st.run() || !tx.commit()) return false;
    }
    return true;
}

}  // namespace detail

template <class D>
bool DatabaseStore<D>::prepare(std::string& error) {
    auto db = acquire(error);
    if (!db || !D::migrate(*db, error)) return false;
    if (!settleWordImports<D>(*db)) {
        error = "cannot settle the word imports left unfinished: " + db->lastError();
        return false;
    }
    if (!detail::readCuesOfOlderTracks<D>(*db)) {
        error = "cannot read the cues of the tracks held: " + db->lastError();
        return false;
    }
    // Tracks held before fits were kept (or without a fitter) get theirs once, here.
    std::vector<std::int64_t> unfitted;
    if (fitter_ && !videosWithoutFits<D>(*db, unfitted)) {
        error = "cannot list the tracks without a timing fit: " + db->lastError();
        return false;
    }
    for (const std::int64_t videoId : unfitted) {
        if (!refitAfterWrite<D>(*db, fitter_, videoId)) {
            error = "cannot fit the timing of the tracks held: " + db->lastError();
            return false;
        }
    }
    return true;
}

template <class D>
StoreStatus DatabaseStore<D>::ready(std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(D::kSchemaVersionSql);
    if (st.step() != Statement::Step::Row) return failed(*db, error);
    const std::int64_t version = st.columnInt(0);
    if (version != D::schemaVersion()) {
        error = "the store has schema version " + std::to_string(version) + ", this build's is " +
                std::to_string(D::schemaVersion());
        return StoreStatus::Failed;
    }
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::recordLookup(std::int64_t learner, const VideoKey& key,
                                           const std::string& nativeLanguage,
                                           const std::vector<OfferedFile>& offers,
                                           std::int64_t& videoId,
                                           std::vector<SubtitleEntry>& entries,
                                           std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    const std::int64_t now = nowMs();
    {
        auto st = db->statement(
            "INSERT INTO videos (lookup_key, hash, size, file_name, native_language, created_at, "
            "last_seen_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?6) ON CONFLICT (lookup_key) DO UPDATE "
            "SET file_name = excluded.file_name, native_language = excluded.native_language, "
            "last_seen_at = excluded.last_seen_at RETURNING id");
        st.bind(1, detail::lookupKey(key))
            .bind(2, key.hash)
            .bind(3, static_cast<std::int64_t>(key.size));
        st.bind(4, key.fileName).bind(5, nativeLanguage).bind(6, now);
        if (st.step() != Statement::Step::Row) return failed(*db, error);
        videoId = st.columnInt(0);
        if (!st.run()) return failed(*db, error);
    }
    {
        auto st = db->statement(
            "INSERT INTO learner_videos (learner_id, video_id, last_seen_ms) VALUES (?1, ?2, ?3) "
            "ON CONFLICT (learner_id, video_id) DO UPDATE SET last_seen_ms = "
            "excluded.last_seen_ms");
        st.bind(1, learner).bind(2, videoId).bind(3, now);
        if (!st.run()) return failed(*db, error);
    }
    std::set<std::string> offeredPaths;
    for (const auto& offer : offers) {
        offeredPaths.insert(offer.path);
        std::int64_t fileId = 0;
        {
            auto st = db->statement(
                "INSERT INTO library_files (path) VALUES (?1) ON CONFLICT (path) DO UPDATE SET "
                "path = excluded.path RETURNING id");
            st.bind(1, offer.path);
            if (st.step() != Statement::Step::Row) return failed(*db, error);
            fileId = st.columnInt(0);
            if (!st.run()) return failed(*db, error);
        }
        // Looked for first: PostgreSQL spends an id on every row ON CONFLICT turns away, and
        // the ids of a video's files are the same on either backend.
        auto st = db->statement(
            "INSERT INTO subtitles (video_id, origin, library_file_id, file_name, language, "
            "created_at) SELECT ?1, 'library', ?2, ?3, ?4, ?5 WHERE NOT EXISTS "
            "(SELECT 1 FROM subtitles WHERE video_id = ?1 AND library_file_id = ?2) "
            "ON CONFLICT (video_id, library_file_id) DO NOTHING");
        st.bind(1, videoId).bind(2, fileId).bind(3, offer.fileName).bind(4, offer.language);
        st.bind(5, now);
        if (!st.run()) return failed(*db, error);
    }
    {
        auto st = db->statement(
            "SELECT s.id, s.file_name, s.original IS NOT NULL, f.path FROM subtitles s "
            "LEFT JOIN library_files f ON f.id = s.library_file_id WHERE s.video_id = ?1 "
            "ORDER BY s.id");
        st.bind(1, videoId);
        typename Statement::Step step;
        entries.clear();
        while ((step = st.step()) == Statement::Step::Row) {
            const bool held = st.columnInt(2) != 0;
            // An unheld offer whose file is gone from the library can't be fetched any more.
            if (!held && !offeredPaths.count(st.columnText(3))) continue;
            entries.push_back({st.columnInt(0), st.columnText(1), held});
        }
        if (step == Statement::Step::Error) return failed(*db, error);
    }
    if (!tx.commit()) return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::downloadSource(std::int64_t subtitleId, DownloadSource& source,
                                             std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT s.file_name, s.original, s.original IS NOT NULL, f.path FROM subtitles s "
        "LEFT JOIN library_files f ON f.id = s.library_file_id WHERE s.id = ?1");
    st.bind(1, subtitleId);
    return oneRow(*db, st, error, [&] {
        source.fileName = st.columnText(0);
        if (st.columnInt(2) != 0) source.held = st.columnBlob(1);
        source.libraryPath = st.columnText(3);
        return StoreStatus::Ok;
    });
}

template <class D>
StoreStatus DatabaseStore<D>::storeUploads(const std::vector<Upload>& uploads, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    const std::int64_t now = nowMs();
    std::set<std::int64_t> videos;  // whose tracks to fit
    for (const auto& upload : uploads) {
        bool held = false;
        {
            auto st =
                db->statement("SELECT original IS NOT NULL, video_id FROM subtitles WHERE id = ?1");
            st.bind(1, upload.subtitleId);
            switch (st.step()) {
                case Statement::Step::Row:
                    held = st.columnInt(0) != 0;
                    if (!held) videos.insert(st.columnInt(1));
                    break;
                case Statement::Step::Done:
                    error = std::to_string(upload.subtitleId);
                    return StoreStatus::NotFound;  // rolls back what came before
                case Statement::Step::Error:
                    return failed(*db, error);
            }
        }
        if (held) continue;  // another client brought it first; the first copy stays
        auto st = db->statement(
            "UPDATE subtitles SET origin = CASE origin WHEN 'online' THEN 'online' ELSE 'client' "
            "END, format = ?2, encoding = ?3, original = ?4, text = ?5, stored_at = ?6, cues = ?7 "
            "WHERE id = ?1 AND original IS NULL");
        const auto& c = upload.content;
        st.bind(1, upload.subtitleId).bind(2, c.format).bind(3, c.encoding);
        st.bindInPlace(4, c.original, true).bindInPlace(5, c.text, false).bind(6, now);
        st.bindInPlace(7, c.cues, true);
        if (!st.run()) return failed(*db, error);
    }
    if (!tx.commit()) return failed(*db, error);
    for (const std::int64_t videoId : videos) refitLogged<D>(*db, fitter_, videoId);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::addSubtitles(std::int64_t videoId,
                                           const std::vector<SubtitleContent>& files,
                                           std::vector<std::int64_t>& ids, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    {
        auto st = db->statement("SELECT 1 FROM videos WHERE id = ?1");
        st.bind(1, videoId);
        const auto step = st.step();
        if (step == Statement::Step::Done) return StoreStatus::NotFound;
        if (step == Statement::Step::Error) return failed(*db, error);
    }
    const std::int64_t now = nowMs();
    ids.clear();
    for (const auto& c : files) {
        const std::int64_t id = insertTrack(*db, videoId, "learner", c, now);
        if (id < 0) return failed(*db, error);
        ids.push_back(id);
    }
    if (!tx.commit()) return failed(*db, error);
    refitLogged<D>(*db, fitter_, videoId);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::video(std::int64_t videoId, VideoInfo& info, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT v.id, v.hash, v.size, v.file_name, v.last_seen_at, (SELECT count(*) FROM "
        "subtitles s WHERE s.video_id = v.id AND s.original IS NOT NULL) FROM videos v "
        "WHERE v.id = ?1");
    st.bind(1, videoId);
    return oneRow(*db, st, error, [&] {
        info = {st.columnInt(0),  st.columnText(1), static_cast<std::uint64_t>(st.columnInt(2)),
                st.columnText(3), st.columnInt(4),  static_cast<int>(st.columnInt(5))};
        return StoreStatus::Ok;
    });
}

template <class D>
StoreStatus DatabaseStore<D>::tracks(std::int64_t videoId, std::vector<Track>& tracks,
                                     std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT s.id, s.file_name, s.language, s.origin, s.format, s.encoding, s.cues, "
        "a.reference_id, a.scale, a.offset_ms FROM subtitles s "
        "LEFT JOIN alignments a ON a.subtitle_id = s.id "
        "WHERE s.video_id = ?1 AND s.original IS NOT NULL ORDER BY s.id");
    st.bind(1, videoId);
    tracks.clear();
    typename Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) {
        Track track{st.columnInt(0),  st.columnText(1), st.columnText(2), st.columnText(3),
                    st.columnText(4), st.columnText(5), st.columnBlob(6), false,
                    std::nullopt};
        const bool fitted = !st.columnIsNull(7);
        track.reference = fitted && st.columnInt(7) == track.id;
        if (fitted && !track.reference && !st.columnIsNull(8)) {
            track.alignment = TrackAlignment{st.columnInt(7), st.columnReal(8), st.columnInt(9)};
        }
        tracks.push_back(std::move(track));
    }
    if (step == Statement::Step::Error) return failed(*db, error);
    return StoreStatus::Ok;
}

template <class D>
StoreStatus DatabaseStore<D>::recentVideos(std::int64_t learner, int limit,
                                           std::vector<VideoInfo>& videos, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    auto st = db->statement(
        "SELECT v.id, v.hash, v.size, v.file_name, l.last_seen_ms, (SELECT count(*) FROM "
        "subtitles s WHERE s.video_id = v.id AND s.original IS NOT NULL) FROM learner_videos l "
        "JOIN videos v ON v.id = l.video_id WHERE l.learner_id = ?2 "
        "ORDER BY l.last_seen_ms DESC, v.id DESC LIMIT ?1");
    st.bind(1, limit).bind(2, learner);
    videos.clear();
    typename Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) {
        videos.push_back({st.columnInt(0), st.columnText(1),
                          static_cast<std::uint64_t>(st.columnInt(2)), st.columnText(3),
                          st.columnInt(4), static_cast<int>(st.columnInt(5))});
    }
    if (step == Statement::Step::Error) return failed(*db, error);
    return StoreStatus::Ok;
}

}  // namespace lirra::server
