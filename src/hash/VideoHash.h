// SPDX-License-Identifier: GPL-3.0-or-later
// The identity of a video as the subtitle service knows it.
#pragma once

#include <cstdint>

namespace lirra {

struct VideoHash {
    std::uint64_t fileHash = 0;
    std::uint64_t fileSize = 0;  // in bytes, as it entered the hash

    // Both 0: no hash could be computed.
    bool isZero() const { return fileHash == 0 && fileSize == 0; }
    bool operator==(const VideoHash&) const = default;
};

}  // namespace lirra
