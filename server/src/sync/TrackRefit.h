// SPDX-License-Identifier: GPL-3.0-or-later
// The store's timing fits made: each held track's cue times read from its text, the video's
// reference chosen (Reference.h) and every track that needs it fitted to that one (TrackFit.h).
#pragma once

#include "store/AlignmentFitter.h"

namespace lirra::sync {

class TrackRefit final : public server::AlignmentFitter {
  public:
    std::vector<server::FitToKeep> refit(const std::vector<server::HeldTrack>& held) const override;
};

}  // namespace lirra::sync
