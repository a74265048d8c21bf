// One container track written out as a subtitle file from its packets' times and payloads:
// hostile times, ASS events in their Matroska form under the track's header, and the limits.
#include <gtest/gtest.h>

#include "sources/ContainerTrackText.h"

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

// ASS events under their track's header: ContainerReaderTest reads a real MKV's ASS track back.
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
