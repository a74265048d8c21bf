// SubRip (.srt): numbered blocks of a timing line and text lines. Its block reader also reads
// the body of a WebVTT file.
#pragma once

#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server::subtitles {

struct TimedBlockRules {
    bool webVttText = false;  // cue text may hold WebVTT entities
    // A block whose first line this accepts carries no cue and is skipped whole.
    bool (*isSkippedBlock)(std::string_view firstLine) = nullptr;
};

// Blocks of a timing line and text lines, ended by a blank line, from line `from` on.
std::vector<Cue> parseTimedBlocks(const std::vector<std::string_view>& lines, std::size_t from,
                                  const TimedBlockRules& rules);

std::vector<Cue> parseSubRip(const std::vector<std::string_view>& lines, std::size_t from);

}  // namespace lirra::server::subtitles
