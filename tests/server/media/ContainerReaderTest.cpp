// Text tracks read out of containers that ffmpeg makes here, and out of broken ones.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

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

std::vector<Cue> cuesOf(const ContainerTrack& track) {
    if (track.extension == "ass") return parseAss(track.text);
    return parseSubtitle(track.text).cues;
}

class ContainerReaderTest : public ::testing::Test {
  protected:
    test::MediaFolder media;
};

TEST_F(ContainerReaderTest, EveryTextTrackOfAnMkvInOnePass) {
    const std::string path = media.makeThreeTrackMkv("film.mkv");
    ASSERT_FALSE(path.empty());
    const ContainerScan scan = scanFile(path);
    EXPECT_TRUE(scan.opened);
    EXPECT_TRUE(scan.complete);
    EXPECT_LE(scan.bytesRead, scan.fileSize + scan.fileSize / 20);
    ASSERT_EQ(scan.tracks.size(), 3u);

    struct Expected {
        const char* codec;
        const char* language;
        const char* title;
        const char* extension;
        const char* first;
        const char* second;
    };
    const Expected expected[] = {
        {"subrip", "eng", "", "srt", "Hello <i>there</i>", "Second line"},
        {"ass", "spa", "Full", "ass", "<i>Hola</i>, amigo", "Segunda\nl\xC3\xADnea"},
        {"webvtt", "", "", "vtt", "VTT one", "VTT two"},  // "und" is not written
    };
    for (std::size_t n = 0; n < 3; ++n) {
        const auto& track = scan.tracks[n];
        const auto& want = expected[n];
        EXPECT_EQ(track.codec, want.codec);
        EXPECT_EQ(track.languageTag, want.language) << want.codec;
        EXPECT_EQ(track.title, want.title) << want.codec;
        EXPECT_EQ(track.extension, want.extension) << want.codec;
        const auto cues = cuesOf(track);
        ASSERT_EQ(cues.size(), 2u) << want.codec << "\n" << track.text;
        EXPECT_EQ(cues[0].startMs, 500) << want.codec;
        EXPECT_EQ(cues[0].endMs, 1500) << want.codec;
        EXPECT_EQ(cues[0].text, want.first) << want.codec;
        EXPECT_EQ(cues[1].startMs, 2000) << want.codec;
        EXPECT_EQ(cues[1].text, want.second) << want.codec;
    }
    // The ASS track keeps its script header, so the file stands on its own.
    EXPECT_NE(scan.tracks[1].text.find("Style: Default,Arial,20"), std::string::npos);
}

// A file without text tracks is read through ContainerSourceTest.
TEST_F(ContainerReaderTest, MovTextThroughTheDecoder) {
    media.write("in.srt", "1\n00:00:00,500 --> 00:00:01,500\nHello <i>there</i>\n");
    ASSERT_TRUE(media.ffmpeg(
        "-f lavfi -i testsrc=size=64x48:rate=5:duration=3 -i in.srt -map 0 -map 1 -c:v libx264 "
        "-preset ultrafast -c:s mov_text -metadata:s:s:0 language=eng film.mp4"));
    const ContainerScan mp4 = scanFile(media.file("film.mp4"));
    ASSERT_EQ(mp4.tracks.size(), 1u);
    EXPECT_EQ(mp4.tracks[0].codec, "mov_text");
    EXPECT_EQ(mp4.tracks[0].languageTag, "eng");
    const auto cues = cuesOf(mp4.tracks[0]);
    ASSERT_EQ(cues.size(), 1u) << mp4.tracks[0].text;
    EXPECT_EQ(cues[0].startMs, 500);
    EXPECT_EQ(cues[0].endMs, 1500);
    EXPECT_EQ(cues[0].text, "Hello <i>there</i>");
    EXPECT_LE(mp4.bytesRead, mp4.fileSize + mp4.fileSize / 20);
}

TEST_F(ContainerReaderTest, BitmapTracksAreLeftOutWithOneNoteEach) {
    media.writeVobSub("pictures");
    media.write("in.srt", "1\n00:00:01,000 --> 00:00:02,000\nWords\n");
    ASSERT_TRUE(media.ffmpeg(
        "-f lavfi -i testsrc=size=64x48:rate=5:duration=3 -i pictures.idx -i in.srt -map 0 -map 1 "
        "-map 2 -c:v libx264 -preset ultrafast -c:s copy -metadata:s:s:0 language=eng bitmap.mkv"));
    const ContainerScan scan = scanFile(media.file("bitmap.mkv"));
    ASSERT_EQ(scan.tracks.size(), 1u);
    EXPECT_EQ(scan.tracks[0].codec, "subrip");
    EXPECT_EQ(scan.notes,
              std::vector<std::string>{"skipped bitmap subtitle track 1 (dvd_subtitle, eng)"});
}

TEST_F(ContainerReaderTest, BrokenFilesGiveWhatCanBeRead) {
    const std::string path = media.makeThreeTrackMkv("film.mkv", 20);
    ASSERT_FALSE(path.empty());
    const std::string whole = media.read("film.mkv");
    std::mt19937 random(7);
    std::string noisy = whole;
    for (std::size_t at = whole.size() / 3; at < whole.size() / 3 + 4096; ++at) {
        noisy[at] = static_cast<char>(random());
    }
    std::string junk(300000, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    media.write("half.mkv", whole.substr(0, whole.size() / 2));
    media.write("noisy.mkv", noisy);
    media.write("empty.mkv", "");
    media.write("junk.mkv", junk);

    struct Case {
        const char* name;
        bool opened;
        std::size_t minTracks;
    };
    const Case cases[] = {{"half.mkv", true, 3},
                          {"noisy.mkv", true, 3},
                          {"empty.mkv", false, 0},
                          {"junk.mkv", false, 0}};
    for (const auto& c : cases) {
        const ContainerScan scan = scanFile(media.file(c.name));
        EXPECT_EQ(scan.opened, c.opened) << c.name;
        EXPECT_GE(scan.tracks.size(), c.minTracks) << c.name;
        EXPECT_LE(scan.bytesRead, scan.fileSize + scan.fileSize / 20 + 65536) << c.name;
        for (const auto& track : scan.tracks) {
            EXPECT_FALSE(cuesOf(track).empty()) << c.name << " " << track.codec;
        }
    }
}

TEST_F(ContainerReaderTest, BoundedReadingOfAHugeSparseFile) {
    // A real container whose end lies 10 GiB further on, all holes: reading stops at the bound
    // or when told to, with the tracks read so far.
    const std::string path = media.makeThreeTrackMkv("film.mkv");
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(::truncate(path.c_str(), 10LL << 30), 0);
    ContainerLimits limits;
    limits.maxReadFactor = 0.01;  // about 100 MiB
    limits.maxReadSlack = 0;
    const ContainerScan bounded = scanFile(path, limits);
    EXPECT_FALSE(bounded.complete);
    EXPECT_LE(bounded.bytesRead, (10ULL << 30) / 100);
    EXPECT_EQ(bounded.tracks.size(), 3u);
    ASSERT_FALSE(bounded.notes.empty());

    ContainerLimits noTime;
    noTime.maxTime = std::chrono::seconds(0);
    std::atomic<bool> stop{true};
    for (const ContainerScan& cut : {scanFile(path, noTime), scanFile(path, {}, &stop)}) {
        EXPECT_FALSE(cut.complete);
        EXPECT_TRUE(cut.tracks.empty());
    }
}

}  // namespace
}  // namespace lirra::server
