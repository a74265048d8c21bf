// One container track written out as a subtitle file from its packets' times and payloads:
// hostile times, ASS events in their Matroska form under the track's header, and the limits.
#include <gtest/gtest.h>

#include "sources/ContainerTrackText.h"
#include "subtitles/AssParser.h"

namespace lirra::server {
namespace {

constexpr std::int64_t kUnknown = TrackTextBuilder::kUnknownEnd;

TEST(TrackText, SubRipFromTimedPayloads) {
    struct Event {
        std::int64_t start, end;
        const char* payload;
    };
    struct Case {
        const char* what;
        std::vector<Event> events;
        const char* file;
    };
    const Case cases[] = {
        {"in order of start, whatever order they came in",
         {{5000, 6000, "later"}, {1000, 2000, "first"}},
         "1\n00:00:01,000 --> 00:00:02,000\nfirst\n\n2\n00:00:05,000 --> 00:00:06,000\nlater\n\n"},
        {"no end: until the next start, at most 5 s",
         {{0, kUnknown, "a"}, {2000, kUnknown, "b"}},
         "1\n00:00:00,000 --> 00:00:02,000\na\n\n2\n00:00:02,000 --> 00:00:07,000\nb\n\n"},
        {"before 0, ending before starting, past 100 h, empty: left out",
         {{-500, 100, "early"},
          {3000, 2000, "backwards"},
          {400LL * 3600 * 1000, kUnknown, "far"},
          {1000, 2000, " \r\n "},
          {1000, 2000, "kept"}},
         "1\n00:00:01,000 --> 00:00:02,000\nkept\n\n"},
        {"blank lines and timing arrows inside a payload cannot split the block",
         {{1000, 2000, "one\r\n\r\ntwo --> three\x01"}},
         "1\n00:00:01,000 --> 00:00:02,000\none\ntwo -> three\n\n"},
        {"hours past 99",
         {{360000000, 360001000, "x"}},
         "1\n100:00:00,000 --> 100:00:00,000\nx\n\n"},
    };
    for (const auto& c : cases) {
        TrackTextBuilder builder(TrackTextKind::SubRip, {});
        for (const auto& e : c.events) builder.add(e.start, e.end, e.payload);
        EXPECT_EQ(builder.finish(), c.file) << c.what;
    }
    TrackTextBuilder vtt(TrackTextKind::WebVtt, {});
    vtt.add(61500, 62000, "cue");
    EXPECT_EQ(vtt.finish(), "WEBVTT\n\n00:01:01.500 --> 00:01:02.000\ncue\n\n");
    EXPECT_EQ(TrackTextBuilder(TrackTextKind::SubRip, {}).finish(), "");
}

TEST(TrackText, AssEventsUnderTheirHeaderInTheFormatOrder) {
    const char* header =
        "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
        "Format: Layer, Style, Start, End, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    TrackTextBuilder builder(TrackTextKind::Ass, header);
    EXPECT_TRUE(builder.add(1500, 2500, "3,0,Default,,0,0,0,,Hello, {\\i1}you{\\i0}\nthere"));
    EXPECT_TRUE(builder.add(500, 900, "1,1,Top,,0,0,0,,First"));
    EXPECT_TRUE(builder.add(100, 200, "2,0,Default"));  // too few fields: left out
    EXPECT_EQ(builder.dropped(), 1u);
    const std::string file = builder.finish();
    EXPECT_EQ(file, std::string(header) +
                        "Dialogue: 1,Top,0:00:00.50,0:00:00.90,,0,0,0,,First\n"
                        "Dialogue: 0,Default,0:00:01.50,0:00:02.50,,0,0,0,,Hello, "
                        "{\\i1}you{\\i0}\\Nthere\n");
    const auto cues = parseAss(file);
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[1].text, "Hello, <i>you</i>\nthere");

    // A header without events, or none at all: the standard fields.
    for (const char* bare : {"[Script Info]\nTitle: x\n\0junk", ""}) {
        TrackTextBuilder plain(TrackTextKind::Ass, bare);
        plain.add(0, 1000, "0,0,Default,,0,0,0,,Plain");
        const auto parsed = parseAss(plain.finish());
        ASSERT_EQ(parsed.size(), 1u) << plain.finish();
        EXPECT_EQ(parsed[0].text, "Plain");
    }
}

TEST(TrackText, FullTracksStopTakingEvents) {
    TrackTextLimits limits;
    limits.maxEvents = 2;
    TrackTextBuilder builder(TrackTextKind::SubRip, {}, limits);
    EXPECT_TRUE(builder.add(0, 1, "a"));
    EXPECT_TRUE(builder.add(1, 2, "b"));
    EXPECT_FALSE(builder.add(2, 3, "c"));
    EXPECT_TRUE(builder.full());
    EXPECT_EQ(builder.events(), 2u);
    limits = {};
    limits.maxBytes = 100;
    TrackTextBuilder small(TrackTextKind::SubRip, {}, limits);
    EXPECT_FALSE(small.add(0, 1, std::string(200, 'x')));
    EXPECT_EQ(small.events(), 0u);
}

}  // namespace
}  // namespace lirra::server
