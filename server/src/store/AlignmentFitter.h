// SPDX-License-Identifier: GPL-3.0-or-later
// What the store asks of the timing fit (sync/ answers it) after the write that holds a video's
// new tracks: the store reads the held tracks and keeps the fits it is given, a moment after the
// track is held (or at the next open); it parses no subtitle and computes no fit itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lirra::server {

// A track the store holds for a video, with what it keeps of the track's fit.
struct HeldTrack {
    std::int64_t id = 0;
    std::string language;
    std::string origin;  // as Track::origin
    std::string cues;    // packed (subtitles/CuePack.h)
    bool fitKept = false;
    std::optional<std::int64_t> keptReference;  // the reference the kept fit was made against
};

// reference time = time × scale + offsetMs.
struct TimingFit {
    double scale = 1.0;
    std::int64_t offsetMs = 0;
};

// What to keep for one track: the video's reference when it has one, and the track's fit to it
// (none for the reference itself and when no credible fit was found).
struct FitToKeep {
    std::int64_t subtitleId = 0;
    std::optional<std::int64_t> referenceId;
    std::optional<TimingFit> fit;
};

class AlignmentFitter {
  public:
    virtual ~AlignmentFitter() = default;

    // The fits to keep for a video whose held tracks are `held`, in the order they were added:
    // one for every track that has no fit kept or one made against another reference than the
    // video's now. Runs outside any transaction, on what was held a moment before; never throws.
    virtual std::vector<FitToKeep> refit(const std::vector<HeldTrack>& held) const = 0;
};

}  // namespace lirra::server
