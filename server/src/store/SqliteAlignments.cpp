#include "store/SqliteAlignments.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "Reference.h"
#include "TrackFit.h"
#include "store/SqliteSupport.h"
#include "subtitles/SubtitleParser.h"

namespace lirra::server {
namespace {

using sqlite::Connection;
using sqlite::Statement;

struct HeldTrack {
    sync::TrackSummary summary;
    std::vector<sync::CueTimes> cues;
    bool kept = false;                          // a fit is kept for it
    std::optional<std::int64_t> keptReference;  // the reference that fit was made against
};

std::vector<sync::CueTimes> cueTimes(const std::string& text) {
    const auto parsed = parseSubtitle(text);
    std::vector<sync::CueTimes> times;
    times.reserve(parsed.cues.size());
    for (const auto& cue : parsed.cues) times.push_back({cue.startMs, cue.endMs});
    return times;
}

bool readHeld(Connection& db, std::int64_t videoId, std::vector<HeldTrack>& held) {
    auto st = db.statement(
        "SELECT s.id, s.language, s.origin, s.text, a.subtitle_id IS NOT NULL, a.reference_id "
        "FROM subtitles s LEFT JOIN alignments a ON a.subtitle_id = s.id "
        "WHERE s.video_id = ?1 AND s.original IS NOT NULL ORDER BY s.id");
    st.bind(1, videoId);
    Statement::Step step;
    while ((step = st.step()) == Statement::Step::Row) {
        HeldTrack track;
        track.cues = cueTimes(st.columnText(3));
        track.summary = {st.columnInt(0), st.columnText(1), st.columnText(2) == "container",
                         track.cues.size()};
        track.kept = st.columnInt(4) != 0;
        if (!st.columnIsNull(5)) track.keptReference = st.columnInt(5);
        held.push_back(std::move(track));
    }
    return step == Statement::Step::Done;
}

// Six decimals: a scale within a millionth moves a cue two hours in by 7 ms at most.
double tidyScale(double scale) { return std::round(scale * 1e6) / 1e6; }

bool keep(Connection& db, std::int64_t subtitleId, std::optional<std::int64_t> referenceId,
          const std::optional<sync::TimeFit>& fit) {
    auto st = db.statement(
        "INSERT INTO alignments (subtitle_id, reference_id, scale, offset_ms, fitted_at) "
        "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (subtitle_id) DO UPDATE SET "
        "reference_id = excluded.reference_id, scale = excluded.scale, "
        "offset_ms = excluded.offset_ms, fitted_at = excluded.fitted_at");
    st.bind(1, subtitleId);
    if (referenceId)
        st.bind(2, *referenceId);
    else
        st.bindNull(2);
    if (fit) {
        st.bindReal(3, tidyScale(fit->scale)).bind(4, fit->offsetMs);
    } else {
        st.bindNull(3).bindNull(4);
    }
    st.bind(5, nowMs());
    return st.run();
}

void logFit(std::int64_t subtitleId, std::int64_t referenceId, const sync::FitReport& report) {
    char fit[64] = "";
    if (report.fit) {
        std::snprintf(fit, sizeof fit, " × %.6f %+lld ms", report.fit->scale,
                      static_cast<long long>(report.fit->offsetMs));
    }
    std::fprintf(stderr, "lirra-server: subtitle %lld timed against %lld: %s%s (%d of %d cues)\n",
                 static_cast<long long>(subtitleId), static_cast<long long>(referenceId),
                 report.verdict.c_str(), fit, report.matched, report.comparable);
}

}  // namespace

bool refitAlignments(Connection& db, std::int64_t videoId) {
    std::vector<HeldTrack> held;
    if (!readHeld(db, videoId, held)) return false;
    std::vector<sync::TrackSummary> summaries;
    for (const auto& track : held) summaries.push_back(track.summary);
    const auto referenceId = sync::chooseReference(summaries);
    const HeldTrack* reference = nullptr;
    for (const auto& track : held) {
        if (referenceId && track.summary.id == *referenceId) reference = &track;
    }
    for (const auto& track : held) {
        if (track.kept && track.keptReference == referenceId) continue;
        std::optional<sync::TimeFit> fit;
        if (reference && reference != &track) {
            const auto report = sync::fitTiming(track.cues, reference->cues);
            fit = report.fit;
            logFit(track.summary.id, *referenceId, report);
        }
        if (!keep(db, track.summary.id, referenceId, fit)) return false;
    }
    return true;
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
