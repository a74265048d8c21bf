// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SqliteAlignments.h"

#include <cstdio>
#include <tuple>

#include "store/SqliteSupport.h"

namespace lirra::server {
namespace {

using sqlite::Connection;
using sqlite::Statement;

// `withCues` false: all but the cues, enough to tell whether the tracks changed.
bool readHeld(Connection& db, std::int64_t videoId, std::vector<HeldTrack>& held,
              bool withCues = true) {
    auto st = db.statement(
        withCues ? "SELECT s.id, s.language, s.origin, s.cues, a.subtitle_id IS NOT NULL, "
                   "a.reference_id FROM subtitles s LEFT JOIN alignments a ON a.subtitle_id = "
                   "s.id WHERE s.video_id = ?1 AND s.original IS NOT NULL ORDER BY s.id"
                 : "SELECT s.id, s.language, s.origin, NULL, a.subtitle_id IS NOT NULL, "
                   "a.reference_id FROM subtitles s LEFT JOIN alignments a ON a.subtitle_id = "
                   "s.id WHERE s.video_id = ?1 AND s.original IS NOT NULL ORDER BY s.id");
    st.bind(1, videoId);
    Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) {
        HeldTrack track{st.columnInt(0),  st.columnText(1),     st.columnText(2),
                        st.columnBlob(3), st.columnInt(4) != 0, std::nullopt};
        if (!st.columnIsNull(5)) track.keptReference = st.columnInt(5);
        held.push_back(std::move(track));
    }
    return step == Statement::Step::Done;
}

bool keep(Connection& db, const FitToKeep& kept) {
    auto st = db.statement(
        "INSERT INTO alignments (subtitle_id, reference_id, scale, offset_ms, fitted_at) "
        "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (subtitle_id) DO UPDATE SET "
        "reference_id = excluded.reference_id, scale = excluded.scale, "
        "offset_ms = excluded.offset_ms, fitted_at = excluded.fitted_at");
    st.bind(1, kept.subtitleId);
    if (kept.referenceId)
        st.bind(2, *kept.referenceId);
    else
        st.bindNull(2);
    if (kept.fit) {
        st.bindReal(3, kept.fit->scale).bind(4, kept.fit->offsetMs);
    } else {
        st.bindNull(3).bindNull(4);
    }
    st.bind(5, nowMs());
    return st.run();
}

}  // namespace

bool refitAlignments(Connection& db, const AlignmentFitter* fitter, std::int64_t videoId) {
    if (!fitter) return true;
    std::vector<HeldTrack> held;
    if (!readHeld(db, videoId, held)) return false;
    for (const auto& kept : fitter->refit(held)) {
        if (!keep(db, kept)) return false;
    }
    return true;
}

bool refitAfterWrite(Connection& db, const AlignmentFitter* fitter, std::int64_t videoId) {
    if (!fitter) return true;
    // What a fit was made from: each track and the reference its kept fit was made against.
    auto shape = [](const std::vector<HeldTrack>& held) {
        std::vector<std::tuple<std::int64_t, bool, std::optional<std::int64_t>>> out;
        for (const auto& t : held) out.emplace_back(t.id, t.fitKept, t.keptReference);
        return out;
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<HeldTrack> held;
        {
            sqlite::Transaction read(db, sqlite::Transaction::Kind::Read);
            if (!read.begun() || !readHeld(db, videoId, held)) return false;
        }
        const auto fits = fitter->refit(held);
        sqlite::Transaction tx(db, sqlite::Transaction::Kind::Write);
        if (!tx.begun()) return false;
        std::vector<HeldTrack> now;
        if (!readHeld(db, videoId, now, false)) return false;
        if (shape(now) != shape(held)) continue;  // another write came between: fit again
        for (const auto& kept : fits) {
            if (!keep(db, kept)) return false;
        }
        return tx.commit();
    }
    sqlite::Transaction tx(db, sqlite::Transaction::Kind::Write);
    return tx.begun() && refitAlignments(db, fitter, videoId) && tx.commit();
}

void refitLogged(Connection& db, const AlignmentFitter* fitter, std::int64_t videoId) {
    if (!refitAfterWrite(db, fitter, videoId)) {
        std::fprintf(stderr,
                     "lirra-server: the timing fits of video %lld wait for the next start: %s\n",
                     static_cast<long long>(videoId), db.lastError().c_str());
    }
}

bool videosWithoutFits(Connection& db, std::vector<std::int64_t>& videoIds) {
    auto st = db.statement(
        "SELECT DISTINCT s.video_id FROM subtitles s LEFT JOIN alignments a "
        "ON a.subtitle_id = s.id WHERE s.original IS NOT NULL AND a.subtitle_id IS NULL "
        "ORDER BY s.video_id");
    videoIds.clear();
    Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) videoIds.push_back(st.columnInt(0));
    return step == Statement::Step::Done;
}

}  // namespace lirra::server
