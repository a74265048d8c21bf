// SPDX-License-Identifier: GPL-3.0-or-later
// Cue text made safe to insert into a page: HTML-escaped, with only <b>, <i> and <u> kept,
// balanced, and lines split by "\n".
#pragma once

#include <string>
#include <string_view>

namespace lirra::server {

// Escapes the text and keeps only balanced <b>, <i>, <u>; WebVTT also decodes its entities.
std::string sanitizeCueText(std::string_view text, bool webVttEntities);

}  // namespace lirra::server
