// SPDX-License-Identifier: GPL-3.0-or-later
// WebVTT (.vtt): a "WEBVTT" header line, then blocks read as browsers read them: cues with
// entities in their text, and NOTE, STYLE and REGION blocks that carry no cue.
#pragma once

#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server::subtitles {

// `line` is the file's first line that is not blank, trimmed.
bool isWebVttHeader(std::string_view line);

// `from` is the line after the header.
std::vector<Cue> parseWebVtt(const std::vector<std::string_view>& lines, std::size_t from);

}  // namespace lirra::server::subtitles
