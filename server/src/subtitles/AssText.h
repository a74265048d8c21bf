// SPDX-License-Identifier: GPL-3.0-or-later
// The text field of one ASS/SSA event turned into cue text the pages can insert: override blocks
// removed, \N and \n as line breaks, \h as a space, italics, bold and underline kept as balanced
// <i>, <b>, <u>, everything else HTML-escaped. Drawing commands (\p1 ... \p0) show nothing.
#pragma once

#include <string>
#include <string_view>

namespace lirra::server {

// Empty when nothing visible is left (an event that only draws, or only carries codes).
std::string assTextToCueText(std::string_view text);

}  // namespace lirra::server
