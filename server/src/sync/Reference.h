// SPDX-License-Identifier: GPL-3.0-or-later
// Which of a video's subtitle tracks the others are fitted to. Std only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lirra::sync {

struct TrackSummary {
    std::int64_t id = 0;
    std::string language;    // ISO 639-2/B, "" when unknown
    bool fromVideo = false;  // read out of the video file itself
    std::size_t cues = 0;
};

// A track from inside the video when there is one, since it is timed to the picture: an English
// one first, else the one with the most cues; one with under a third of the cues of the fullest
// track there (forced lines, signs) is passed over. Without one, the first English track. A
// track without cues is never chosen. Nothing when no track qualifies.
std::optional<std::int64_t> chooseReference(std::span<const TrackSummary> tracks);

}  // namespace lirra::sync
