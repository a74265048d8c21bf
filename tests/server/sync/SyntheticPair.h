// SPDX-License-Identifier: GPL-3.0-or-later
// Generated pairs of subtitle timings for the fit's tests and benchmark: a reference track and
// another release of it, shifted, scaled, with cues dropped, split and jittered; no text at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TrackFit.h"

namespace lirra::sync::testing {

struct PairShape {
    int cues = 300;      // cues of the story both tracks tell
    double scale = 1.0;  // other × scale + offset = reference
    double offsetMs = 0;
    double dropOther = 0.15;            // share of cues the other track lacks
    double dropReference = 0.0;         // share the reference lacks
    double split = 0.10;                // share of the other track's cues split in two
    double jitterMs = 100;              // every start and end of the other track moves up to this
    std::int64_t referenceIntroMs = 0;  // extra material with cues before the story, reference
    std::int64_t otherIntroMs = 0;      // the same on the other track (its clock)
    bool unrelated = false;             // the other track tells a different story
};

struct SyntheticPair {
    std::vector<CueTimes> reference;
    std::vector<CueTimes> other;
    // Per cue of `other`: the reference-clock start its start belongs at; -1 when there is none
    // (second halves of split cues, intros, unrelated tracks).
    std::vector<std::int64_t> truth;
};

SyntheticPair makePair(const PairShape& shape, unsigned seed);

// The cues as a SubRip file, each with the text "Line N".
std::string toSrt(const std::vector<CueTimes>& cues);

// Absolute errors of the other track's aligned starts where the truth is known.
std::vector<double> alignedStartErrors(const SyntheticPair& pair, const TimeFit& fit);

}  // namespace lirra::sync::testing
