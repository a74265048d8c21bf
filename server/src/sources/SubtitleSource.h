// SPDX-License-Identifier: GPL-3.0-or-later
// A source of subtitles that works for a video after its lookup, in the background: the lookup
// tells every source and answers at once; the pages ask whether any source is still working.
#pragma once

#include <cstdint>

#include "store/Store.h"

namespace lirra::server {

class SubtitleSource {
  public:
    virtual ~SubtitleSource() = default;

    // Called on a request thread after the lookup was recorded; returns at once.
    virtual void lookedUp(std::int64_t videoId, const VideoKey& key) = 0;

    // Whether work for the video waits or runs.
    virtual bool pending(std::int64_t videoId) const = 0;
};

}  // namespace lirra::server
