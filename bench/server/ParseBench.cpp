// SPDX-License-Identifier: GPL-3.0-or-later
// Time to read one 2,000-cue subtitle file: decoding to UTF-8 and parsing into cues.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "subtitles/SubtitleParser.h"
#include "subtitles/TextDecoder.h"

namespace {

std::string stamp(int ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buf;
}

std::string srt2000() {
    std::string out;
    for (int i = 0; i < 2000; ++i) {
        out += std::to_string(i + 1) + "\r\n" + stamp(i * 2500) + " --> " + stamp(i * 2500 + 2000) +
               "\r\n" + "<i>Line " + std::to_string(i) +
               " of the dialogue,</i> said the learner\r\nand a second line here.\r\n\r\n";
    }
    return out;
}

void BM_DecodeAndParseSrt2000(benchmark::State& state) {
    const std::string file = srt2000();
    for (auto _ : state) {
        const auto decoded = lirra::server::decodeToUtf8(file);
        const auto parsed = lirra::server::parseSubtitle(decoded.text);
        if (parsed.cues.size() != 2000) state.SkipWithError("wrong cue count");
        benchmark::DoNotOptimize(parsed.cues.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_DecodeAndParseSrt2000)->Unit(benchmark::kMicrosecond);

void BM_ParseVtt2000(benchmark::State& state) {
    std::string file = "WEBVTT\n\n";
    for (int i = 0; i < 2000; ++i) {
        std::string s = stamp(i * 2500), e = stamp(i * 2500 + 2000);
        s[8] = e[8] = '.';
        file += s + " --> " + e + " align:start\n<v Anna>Tom &amp; Jerry line " +
                std::to_string(i) + "</v>\n\n";
    }
    for (auto _ : state) {
        const auto parsed = lirra::server::parseSubtitle(file);
        if (parsed.cues.size() != 2000) state.SkipWithError("wrong cue count");
        benchmark::DoNotOptimize(parsed.cues.data());
    }
}
BENCHMARK(BM_ParseVtt2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
