// SPDX-License-Identifier: GPL-3.0-or-later
// The ASS/SSA reader on any text: cues in order, times within bounds, no duplicate, and text the
// pages can insert as it is; one event's text alone likewise.
#include <set>
#include <tuple>

#include "CueTextCheck.h"
#include "subtitles/AssParser.h"
#include "subtitles/AssText.h"
#include "subtitles/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool utf8 = server::isValidUtf8(text);
    constexpr std::int64_t kMaxTimeMs = 100LL * 3600 * 1000;
    std::int64_t previous = 0;
    std::set<std::tuple<std::int64_t, std::int64_t, std::string>> seen;
    for (const auto& cue : server::parseAss(text)) {
        FUZZ_CHECK(cue.startMs >= previous, "cues out of order");
        FUZZ_CHECK(cue.startMs >= 0 && cue.startMs <= cue.endMs && cue.endMs <= kMaxTimeMs,
                   "a cue's times are out of bounds");
        FUZZ_CHECK(!cue.text.empty(), "an empty cue");
        FUZZ_CHECK(!utf8 || server::isValidUtf8(cue.text), "UTF-8 in, not UTF-8 out");
        FUZZ_CHECK(seen.emplace(cue.startMs, cue.endMs, cue.text).second, "a cue kept twice");
        checkCueText(cue.text);
        previous = cue.startMs;
    }
    const std::string single = server::assTextToCueText(text);
    FUZZ_CHECK(!utf8 || server::isValidUtf8(single), "UTF-8 in, not UTF-8 out");
    checkCueText(single);
    return 0;
}
