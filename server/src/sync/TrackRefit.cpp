// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrackRefit.h"

#include <cmath>
#include <cstdio>

#include "Reference.h"
#include "TrackFit.h"
#include "subtitles/CuePack.h"

namespace lirra::sync {
namespace {

using server::FitToKeep;
using server::HeldTrack;

std::vector<CueTimes> cueTimes(const std::string& packed) {
    const auto cues = server::unpackCues(packed).value_or(std::vector<server::Cue>{});
    std::vector<CueTimes> times;
    times.reserve(cues.size());
    for (const auto& cue : cues) times.push_back({cue.startMs, cue.endMs});
    return times;
}

// Six decimals: a scale within a millionth moves a cue two hours in by 7 ms at most.
double tidyScale(double scale) { return std::round(scale * 1e6) / 1e6; }

void logFit(std::int64_t subtitleId, std::int64_t referenceId, const FitReport& report) {
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

std::vector<FitToKeep> TrackRefit::refit(const std::vector<HeldTrack>& held) const {
    std::vector<std::vector<CueTimes>> cues;
    std::vector<TrackSummary> summaries;
    for (const auto& track : held) {
        cues.push_back(cueTimes(track.cues));
        summaries.push_back(
            {track.id, track.language, track.origin == "container", cues.back().size()});
    }
    const auto referenceId = chooseReference(summaries);
    const std::vector<CueTimes>* reference = nullptr;
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (referenceId && held[i].id == *referenceId) reference = &cues[i];
    }
    std::vector<FitToKeep> fits;
    for (std::size_t i = 0; i < held.size(); ++i) {
        const HeldTrack& track = held[i];
        if (track.fitKept && track.keptReference == referenceId) continue;
        FitToKeep kept{track.id, referenceId, std::nullopt};
        if (reference && reference != &cues[i]) {
            const auto report = fitTiming(cues[i], *reference);
            if (report.fit)
                kept.fit = server::TimingFit{tidyScale(report.fit->scale), report.fit->offsetMs};
            logFit(track.id, *referenceId, report);
        }
        fits.push_back(std::move(kept));
    }
    return fits;
}

}  // namespace lirra::sync
