// SPDX-License-Identifier: GPL-3.0-or-later
// What the store asks of the timing fit (sync/ answers it) inside the write that holds a video's
// new tracks: the store reads the held tracks and keeps the fits it is given, so that a track is
// never held without its fit; it parses no subtitle and computes no fit itself.
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
    std::string text;    // UTF-8
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
    // video's now. Runs inside the store's write; never throws.
    virtual std::vector<FitToKeep> refit(const std::vector<HeldTrack>& held) const = 0;
};

}  // namespace lirra::server
