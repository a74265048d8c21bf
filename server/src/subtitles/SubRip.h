// SPDX-License-Identifier: GPL-3.0-or-later
// SubRip (.srt): numbered blocks of a timing line and text lines.
#pragma once

#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server::subtitles {

// Blocks of a timing line and text lines, ended by a blank line, from line `from` on.
std::vector<Cue> parseSubRip(const std::vector<std::string_view>& lines, std::size_t from);

}  // namespace lirra::server::subtitles
