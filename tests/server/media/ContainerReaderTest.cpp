// SPDX-License-Identifier: GPL-3.0-or-later
// Text tracks read out of containers that ffmpeg makes here, out of broken ones and out of one
// too large to read whole; and a track written out from its packets' hostile times.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "MediaFiles.h"
#include "sources/ContainerReader.h"
#include "sources/VideoFinder.h"
#include "subtitles/AssParser.h"
#include "subtitles/SubtitleParser.h"

namespace lirra::server {
namespace {

ContainerScan scanFile(const std::string& path, const ContainerLimits& limits = {},
                       const std::atomic<bool>* stop = nullptr) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_TRUE(file) << path;
    return readContainerTracks(file.get(), limits, stop);
}

// Each track as "codec language title extension: start-end text | ...".
std::string shown(const ContainerScan& scan) {
    std::string out;
    for (const auto& track : scan.tracks) {
        out +=
            track.codec + " " + track.languageTag + " " + track.title + " " + track.extension + ":";
        for (const auto& cue :
             track.extension == "ass" ? parseAss(track.text) : parseSubtitle(track.text).cues) {
            out += " " + std::to_string(cue.startMs) + "-" + std::to_string(cue.endMs) + " " +
                   cue.text + " |";
        }
        out += "\n";
    }
    return out;
}

// One container read whole, then cut, made noisy, replaced and emptied, then grown to 10 GiB of
// holes: reading stops at the bound or when told to, with the tracks read so far.
TEST(ContainerReader, EveryTextTrackInOnePassWhatBrokenFilesGiveAndTheBounds) {
    test::MediaFolder media;
    const std::string path = media.makeThreeTrackMkv("film.mkv", 20);
    ASSERT_FALSE(path.empty());
    const ContainerScan scan = scanFile(path);
    EXPECT_TRUE(scan.opened && scan.complete);
    EXPECT_LE(scan.bytesRead, scan.fileSize + scan.fileSize / 20);
    EXPECT_EQ(shown(scan),
              "subrip eng  srt: 500-1500 Hello <i>there</i> | 2000-3000 Second line |\n"
              "ass spa Full ass: 500-1500 <i>Hola</i>, amigo | 2000-3000 Segunda\nl\xC3\xADnea |\n"
              "webvtt   vtt: 500-1500 VTT one | 2000-3000 VTT two |\n");  // "und" is not written
    // The ASS track keeps its script header, so the file stands on its own.
    EXPECT_NE(scan.tracks[1].text.find("Style: Default,Arial,20"), std::string::npos);

    media.write("in.srt", "1\n00:00:00,500 --> 00:00:01,500\nHello <i>there</i>\n");
    ASSERT_TRUE(media.ffmpeg(
        "-f lavfi -i testsrc=size=64x48:rate=5:duration=3 -i in.srt -map 0 -map 1 -c:v libx264 "
        "-preset ultrafast -c:s mov_text -metadata:s:s:0 language=eng film.mp4"));
    EXPECT_EQ(shown(scanFile(media.file("film.mp4"))),
              "mov_text eng  ass: 500-1500 Hello <i>there</i> |\n");  // decoded to ASS

    const std::string whole = media.read("film.mkv");
    std::string noisy = whole;
    noisy.replace(whole.size() / 3, 4096, 4096, 'Z');
    for (const auto& [bytes, readable] : {std::pair{whole.substr(0, whole.size() / 2), true},
                                          {noisy, true},
                                          {std::string(300000, 'Z'), false},
                                          {std::string(), false}}) {
        media.write("broken.mkv", bytes);
        const ContainerScan scan = scanFile(media.file("broken.mkv"));
        EXPECT_EQ(scan.opened, readable) << bytes.size();
        EXPECT_EQ(scan.tracks.size(), readable ? 3u : 0u) << bytes.size();
        EXPECT_LE(scan.bytesRead, scan.fileSize + scan.fileSize / 20 + 65536) << bytes.size();
        for (const auto& track : scan.tracks) EXPECT_FALSE(track.text.empty()) << bytes.size();
    }

    ASSERT_EQ(::truncate(path.c_str(), 10LL << 30), 0);
    const ContainerScan bounded =
        scanFile(path, {.track = {}, .maxReadFactor = 0.01, .maxReadSlack = 0});
    EXPECT_FALSE(bounded.complete);
    EXPECT_LE(bounded.bytesRead, (10ULL << 30) / 100);  // about 100 MiB
    EXPECT_EQ(bounded.tracks.size(), 3u);
    EXPECT_FALSE(bounded.notes.empty());
    ContainerLimits noTime;
    noTime.maxTime = std::chrono::seconds(0);
    std::atomic<bool> stop{true};
    for (const ContainerScan& cut : {scanFile(path, noTime), scanFile(path, {}, &stop)}) {
        EXPECT_FALSE(cut.complete);
        EXPECT_TRUE(cut.tracks.empty());
    }
}

TEST(TrackText, SubRipFromHostileTimesAndTheLimits) {
    constexpr std::int64_t kUnknown = TrackTextBuilder::kUnknownEnd;
    const struct {
        const char* what;
        std::vector<std::tuple<std::int64_t, std::int64_t, const char*>> events;
        const char* file;
    } cases[] = {
        {"in order of start",
         {{5000, 6000, "later"}, {1000, 2000, "first"}},
         "1\n00:00:01,000 --> 00:00:02,000\nfirst\n\n2\n00:00:05,000 --> 00:00:06,000\nlater\n\n"},
        {"no end: until the next start, at most 5 s",
         {{0, kUnknown, "a"}, {2000, kUnknown, "b"}},
         "1\n00:00:00,000 --> 00:00:02,000\na\n\n2\n00:00:02,000 --> 00:00:07,000\nb\n\n"},
        {"before 0, backwards, past 100 h, blank: left out",
         {{-500, 100, "early"},
          {3000, 2000, "back"},
          {400LL * 3600 * 1000, kUnknown, "far"},
          {1000, 2000, " \r\n "},
          {1000, 2000, "kept"}},
         "1\n00:00:01,000 --> 00:00:02,000\nkept\n\n"},
        {"blank lines and arrows cannot split a block",
         {{1000, 2000, "one\r\n\r\ntwo --> 3\x01"}},
         "1\n00:00:01,000 --> 00:00:02,000\none\ntwo -> 3\n\n"},
        {"hours past 99",
         {{360000000, 360001000, "x"}},
         "1\n100:00:00,000 --> 100:00:00,000\nx\n\n"},
        {"nothing", {}, ""},
    };
    for (const auto& c : cases) {
        TrackTextBuilder builder(TrackTextKind::SubRip, {});
        for (const auto& [start, end, payload] : c.events) builder.add(start, end, payload);
        EXPECT_EQ(builder.finish(), c.file) << c.what;
    }
    TrackTextBuilder vtt(TrackTextKind::WebVtt, {});
    vtt.add(61500, 62000, "cue");
    EXPECT_EQ(vtt.finish(), "WEBVTT\n\n00:01:01.500 --> 00:01:02.000\ncue\n\n");
    TrackTextBuilder few(TrackTextKind::SubRip, {}, {.maxEvents = 2});
    EXPECT_TRUE(few.add(0, 1, "a") && few.add(1, 2, "b") && !few.add(2, 3, "c") && few.full());
    TrackTextBuilder small(TrackTextKind::SubRip, {}, {.maxBytes = 100});
    EXPECT_FALSE(small.add(0, 1, std::string(200, 'x')));
    EXPECT_EQ(few.events() + small.events(), 2u);
}

}  // namespace
}  // namespace lirra::server
