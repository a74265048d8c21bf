// SPDX-License-Identifier: GPL-3.0-or-later
// ASS and SSA scripts read into timed cues: each Dialogue event of the [Events] section is one
// cue, its fields in the order the section's Format line gives. Styles, comments and script
// information are not read; the text is cleaned as AssText.h describes.
#pragma once

#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server {

// True when the first line that is not blank is a section header of such a script.
bool looksLikeAss(std::string_view utf8);

// Cues ordered by start. Events that are malformed, end before they start, or show nothing are
// skipped; the same text at the same times (an outline or shadow on another layer) is kept once.
std::vector<Cue> parseAss(std::string_view utf8);

}  // namespace lirra::server
