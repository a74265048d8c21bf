// SPDX-License-Identifier: GPL-3.0-or-later
// The subtitle reader (SubRip, WebVTT, MicroDVD) on any text: cues in order, times within
// bounds, and text the pages can insert as it is.
#include "CueTextCheck.h"
#include "subtitles/SubtitleParser.h"
#include "subtitles/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool utf8 = server::isValidUtf8(text);
    const server::ParsedSubtitle parsed = server::parseSubtitle(text);
    if (parsed.format == server::SubtitleFormat::Unknown) {
        FUZZ_CHECK(parsed.cues.empty(), "cues from an unknown format");
    }
    constexpr std::int64_t kMaxTimeMs = 100LL * 3600 * 1000;
    std::int64_t previous = 0;
    for (const auto& cue : parsed.cues) {
        FUZZ_CHECK(cue.startMs >= previous, "cues out of order");
        FUZZ_CHECK(cue.startMs >= 0 && cue.startMs <= cue.endMs && cue.endMs <= kMaxTimeMs,
                   "a cue's times are out of bounds");
        FUZZ_CHECK(!cue.text.empty(), "an empty cue");
        FUZZ_CHECK(!utf8 || server::isValidUtf8(cue.text), "UTF-8 in, not UTF-8 out");
        checkCueText(cue.text);
        previous = cue.startMs;
    }
    for (const bool webVtt : {false, true}) {
        const std::string clean = server::sanitizeCueText(text, webVtt);
        FUZZ_CHECK(!utf8 || server::isValidUtf8(clean), "UTF-8 in, not UTF-8 out");
        checkCueText(clean);
    }
    return 0;
}
