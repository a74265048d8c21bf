// SPDX-License-Identifier: GPL-3.0-or-later
// The fits of a video's held tracks to its reference track, kept in the alignments table and
// brought up to date after every write that holds new tracks (the fitter computes them).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <tuple>
#include <vector>

#include "store/AlignmentFitter.h"
#include "store/StoreSupport.h"

namespace lirra::server {
namespace detail {

// `withCues` false: all but the cues, enough to tell whether the tracks changed.
template <class D>
bool readHeld(typename D::Connection& db, std::int64_t videoId, std::vector<HeldTrack>& held,
              bool withCues = true) {
    auto st = db.statement(
        withCues ? "SELECT s.id, s.language, s.origin, s.cues, a.subtitle_id IS NOT NULL, "
                   "a.reference_id FROM subtitles s LEFT JOIN alignments a ON a.subtitle_id = "
                   "s.id WHERE s.video_id = ?1 AND s.original IS NOT NULL ORDER BY s.id"
                 : "SELECT s.id, s.language, s.origin, NULL, a.subtitle_id IS NOT NULL, "
                   "a.reference_id FROM subtitles s LEFT JOIN alignments a ON a.subtitle_id = "
                   "s.id WHERE s.video_id = ?1 AND s.original IS NOT NULL ORDER BY s.id");
    st.bind(1, videoId);
    typename D::Statement::Step step;
    while ((step = st.step()) == D::Statement::Step::Row) {
        HeldTrack track{st.columnInt(0),  st.columnText(1),     st.columnText(2),
                        st.columnBlob(3), st.columnInt(4) != 0, std::nullopt};
        if (!st.columnIsNull(5)) track.keptReference = st.columnInt(5);
        held.push_back(std::move(track));
    }
    return step == D::Statement::Step::Done;
}

template <class D>
bool keep(typename D::Connection& db, const FitToKeep& kept) {
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

}  // namespace detail

// Inside the caller's write transaction: keeps what `fitter` makes of the video's held tracks;
// without a fitter nothing is kept (the tracks are fitted the next time the store is opened
// with one). False on a database error (the connection's lastError says which).
template <class D>
bool refitAlignments(typename D::Connection& db, const AlignmentFitter* fitter,
                     std::int64_t videoId) {
    if (!fitter) return true;
    std::vector<HeldTrack> held;
    if (!detail::readHeld<D>(db, videoId, held)) return false;
    for (const auto& kept : fitter->refit(held)) {
        if (!detail::keep<D>(db, kept)) return false;
    }
    return true;
}

// After the write that held new tracks, outside any transaction: the fits are made from what
// is held then, with no lock taken, and kept in a short write if the video's tracks are still
// those (else made again; under steady contention, inside the write). A crash in between
// leaves tracks without a fit, which the next open fits (videosWithoutFits). False on a
// database error.
template <class D>
bool refitAfterWrite(typename D::Connection& db, const AlignmentFitter* fitter,
                     std::int64_t videoId) {
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
            typename D::Transaction read(db, D::Transaction::Kind::Read);
            if (!read.begun() || !detail::readHeld<D>(db, videoId, held)) return false;
        }
        const auto fits = fitter->refit(held);
        typename D::Transaction tx(db, D::Transaction::Kind::Write);
        if (!tx.begun()) return false;
        std::vector<HeldTrack> now;
        if (!detail::readHeld<D>(db, videoId, now, false)) return false;
        if (shape(now) != shape(held)) continue;  // another write came between: fit again
        for (const auto& kept : fits) {
            if (!detail::keep<D>(db, kept)) return false;
        }
        return tx.commit();
    }
    typename D::Transaction tx(db, D::Transaction::Kind::Write);
    return tx.begun() && refitAlignments<D>(db, fitter, videoId) && tx.commit();
}

template <class D>
void refitLogged(typename D::Connection& db, const AlignmentFitter* fitter, std::int64_t videoId) {
    if (!refitAfterWrite<D>(db, fitter, videoId)) {
        std::fprintf(stderr,
                     "lirra-server: the timing fits of video %lld wait for the next start: %s\n",
                     static_cast<long long>(videoId), db.lastError().c_str());
    }
}

// Videos with a held track that has no fit kept: those held before fits were kept, or by a store
// without a fitter.
template <class D>
bool videosWithoutFits(typename D::Connection& db, std::vector<std::int64_t>& videoIds) {
    auto st = db.statement(
        "SELECT DISTINCT s.video_id FROM subtitles s LEFT JOIN alignments a "
        "ON a.subtitle_id = s.id WHERE s.original IS NOT NULL AND a.subtitle_id IS NULL "
        "ORDER BY s.video_id");
    videoIds.clear();
    typename D::Statement::Step step;
    while ((step = st.step()) == D::Statement::Step::Row) videoIds.push_back(st.columnInt(0));
    return step == D::Statement::Step::Done;
}

}  // namespace lirra::server
