// SPDX-License-Identifier: GPL-3.0-or-later
// Subtitle files made to be slow: one pattern repeated to 1 MiB and 8 MiB (the upload limit),
// each decoded and parsed as an upload is, beside a plain file of the same size in the same run.
// bench/run reports each pattern's time against the plain file's; linear parsers keep it near 1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "subtitles/SubtitleParser.h"
#include "subtitles/TextDecoder.h"

namespace {

struct Pattern {
    const char* name;
    const char* head;  // before the repeated part
    std::string unit;
    const char* tail;
};

const std::string kAssHead =
    "[Script Info]\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
    "MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,";

const std::string kAssHeadWithText = kAssHead + "x";

const Pattern kPatterns[] = {
    {"SrtOpenTags", "1\n00:00:01,000 --> 00:00:02,000\n", "<a", "\n"},
    {"SrtOverrideOpeners", "1\n00:00:01,000 --> 00:00:02,000\n", "{\\", "\n"},
    {"VttOpenTags", "WEBVTT\n\n00:01.000 --> 00:02.000\n", "<b", "\n"},
    {"VttEntityOpeners", "WEBVTT\n\n00:01.000 --> 00:02.000\n", "&#", "\n"},
    {"AssOpenBraces", kAssHead.c_str(), "{", "\n"},
    {"AssHardSpaces", kAssHead.c_str(), "\\h", "x\n"},
    {"AssStyledSpaces", kAssHead.c_str(), "{\\i1} {\\i0} ", "x\n"},
    {"AssStyledRuns", kAssHeadWithText.c_str(), "{\\i1} {\\i0} ", "x\n"},
    {"MicroDvdBraces", "{1}{25}", "{y:i}{", "\n"},
    {"NulCharacters", "1\n00:00:01,000 --> 00:00:02,000\n", std::string("abcdefghi\0", 10), "\n"},
    {"ByteOrderMarks", "", "\xEF\xBB\xBF", "1\n00:00:01,000 --> 00:00:02,000\nx\n"},
};

std::string stamp(long ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld,%03ld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buf;
}

std::string hostile(const Pattern& p, std::size_t size) {
    std::string out = p.head;
    const std::string tail = p.tail;
    while (out.size() + p.unit.size() + tail.size() <= size) out += p.unit;
    return out + tail;
}

std::string plain(std::size_t size) {
    std::string out;
    for (long i = 0; out.size() < size; ++i) {
        out += std::to_string(i + 1) + "\n" + stamp(i * 2500) + " --> " + stamp(i * 2500 + 2000) +
               "\n<i>Line " + std::to_string(i) + " of the dialogue,</i> said the learner\n\n";
    }
    out.resize(size);
    return out;
}

void readAsUploaded(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        const auto decoded = lirra::server::decodeToUtf8(file);
        const auto parsed = lirra::server::parseSubtitle(decoded.text);
        benchmark::DoNotOptimize(parsed.cues.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}

void BM_Plain(benchmark::State& state) {
    readAsUploaded(state, plain(static_cast<std::size_t>(state.range(0))));
}

void BM_Hostile(benchmark::State& state) {
    const Pattern& p = kPatterns[state.range(0)];
    state.SetLabel(p.name);
    readAsUploaded(state, hostile(p, static_cast<std::size_t>(state.range(1))));
}

constexpr long kSizes[] = {1L << 20, 8L << 20};

void sizes(benchmark::internal::Benchmark* b) {
    for (long size : kSizes) b->Arg(size);
}

void patterns(benchmark::internal::Benchmark* b) {
    for (long size : kSizes) {
        for (long p = 0; p < long(std::size(kPatterns)); ++p) b->Args({p, size});
    }
}

}  // namespace

BENCHMARK(BM_Plain)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hostile)->Apply(patterns)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
