// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reference.h"

#include <algorithm>

namespace lirra::sync {

std::optional<std::int64_t> chooseReference(std::span<const TrackSummary> tracks) {
    // A track inside the video with far fewer lines than the fullest one there holds forced
    // lines or signs only: too little to fit a whole track to.
    std::size_t fullestInside = 0;
    for (const auto& track : tracks) {
        if (track.fromVideo) fullestInside = std::max(fullestInside, track.cues);
    }
    const auto candidate = [&](const TrackSummary& t) {
        if (t.cues == 0) return false;
        return t.fromVideo ? t.cues * 3 >= fullestInside : t.language == "eng";
    };
    // From the video above any other, English above other languages there, then more cues;
    // the first such track in order wins ties.
    const auto better = [](const TrackSummary& a, const TrackSummary& b) {
        if (a.fromVideo != b.fromVideo) return a.fromVideo;
        const bool aEnglish = a.language == "eng", bEnglish = b.language == "eng";
        if (aEnglish != bEnglish) return aEnglish;
        return a.fromVideo && a.cues > b.cues;
    };
    const TrackSummary* best = nullptr;
    for (const auto& track : tracks) {
        if (candidate(track) && (!best || better(track, *best))) best = &track;
    }
    if (!best) return std::nullopt;
    return best->id;
}

}  // namespace lirra::sync
