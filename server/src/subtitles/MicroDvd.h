// SPDX-License-Identifier: GPL-3.0-or-later
// MicroDVD (.sub): one cue per line, timed in frames ("{100}{200}Text|second line"), with an
// optional first line giving the frame rate.
#pragma once

#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server::subtitles {

constexpr double kDefaultMicroDvdFps = 23.976;

// `line` is the file's first line that is not blank.
bool looksLikeMicroDvd(std::string_view line);

std::vector<Cue> parseMicroDvd(const std::vector<std::string_view>& lines);

}  // namespace lirra::server::subtitles
