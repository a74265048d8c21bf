// SPDX-License-Identifier: GPL-3.0-or-later
// The reply ids our asynchronous requests to mpv carry, so that each reply finds what it answers.
// Observed properties reply with their row in the property table (below kIgnoredReply).
#pragma once

#include <cstdint>

namespace lirra {

inline constexpr std::uint64_t kIgnoredReply = 1000;                     // only an error is logged
inline constexpr std::uint64_t kSetReplyBase = 2000;                     // + property row
inline constexpr std::uint64_t kGetReplyBase = 3000;                     // + property row
inline constexpr std::uint64_t kLoadReplyBase = std::uint64_t{1} << 32;  // + loadfile serial

}  // namespace lirra
