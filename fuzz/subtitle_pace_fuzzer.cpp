// SPDX-License-Identifier: GPL-3.0-or-later
// Every subtitle reader in linear time. The input is a head, a NUL and a unit; the unit is
// repeated after the head up to 1 MiB and the whole read as an upload is (decoded, then parsed),
// so that a pattern slow in its repeats (an opener never closed, say) takes many seconds, over
// fuzz/run's -timeout for this target, which libFuzzer reports as a finding with its input.
// An input without a NUL is read as it stands (-max_len is 1 MiB here too).
#include <string>

#include "subtitles/AssText.h"
#include "subtitles/CueText.h"
#include "subtitles/SubtitleParser.h"
#include "subtitles/TextDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra::server;
    constexpr std::size_t kSize = 1 << 20;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string file(input);
    if (const auto nul = input.find('\0'); nul != std::string_view::npos && nul + 1 < size) {
        const auto unit = input.substr(nul + 1);
        file = std::string(input.substr(0, nul));
        file.reserve(kSize);
        while (file.size() + unit.size() <= kSize) file += unit;
    }
    const auto decoded = decodeToUtf8(file);
    const auto parsed = parseSubtitle(decoded.error.empty() ? decoded.text : file);
    // The cue readers alone too, whatever format the file would have been taken for.
    const auto cue = sanitizeCueText(file, false).size() + sanitizeCueText(file, true).size() +
                     assTextToCueText(file).size();
    return static_cast<int>((parsed.cues.size() + cue) & 0);
}
