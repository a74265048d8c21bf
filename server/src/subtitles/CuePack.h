// SPDX-License-Identifier: GPL-3.0-or-later
// A track's cues as bytes, kept beside its text so that a file is read once, when it arrives:
// each cue its start and end (8 bytes each) and its text's length (4 bytes) and bytes, all
// little-endian.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server {

std::string packCues(const std::vector<Cue>& cues);

// None for bytes that are not such a record (cut short, or with bytes left over).
std::optional<std::vector<Cue>> unpackCues(std::string_view bytes);

}  // namespace lirra::server
