// SPDX-License-Identifier: GPL-3.0-or-later
// "Say it" from a real server on loopback: sound FFmpeg decodes, as long as what it says, made
// once per text and voice.
#include "ServerFixture.h"
#include "media/MediaFiles.h"
#include "speech/SpeechCache.h"

namespace lirra::server::test {
namespace {

class SpeechTest : public ServerFixture {
  protected:
    // Seconds of sound in a WAV answer, as FFmpeg decodes it (8 kHz mono 16-bit); -1 when it
    // does not.
    double decodedSeconds(const std::string& wav) {
        media_.write("say.wav", wav);
        if (!media_.ffmpeg("-i say.wav -f s16le -ac 1 -ar 8000 say.raw")) return -1;
        return media_.read("say.raw").size() / 16000.0;
    }
    httplib::Result say(const std::string& query) { return client().Get("/api/speech?" + query); }
    MediaFolder media_;
};

TEST_F(SpeechTest, SpeaksAWordOrALineInEitherVoiceAndKeepsWhatItMade) {
    const std::string line200 = "%C3%A9" + std::string(199, 'a');  // 200 characters, 201 bytes
    expectStatuses({
        {"GET", "/api/speech?text=", 400},
        {"GET", "/api/speech?text=%20%09%20", 400},
        {"GET", "/api/speech", 400},
        {"GET", "/api/speech?text=" + line200 + "a", 400},
        {"GET", "/api/speech?text=%FF", 400},
        {"GET", "/api/speech?text=hello&voice=fr", 400},
        {"GET", "/api/speech?text=hello&voice=EN-US", 400},
        {"GET", "/api/speech?text=" + line200, 200},
    });
    const auto word = say("text=water&voice=en-us");
    ASSERT_TRUE(word && word->status == 200);
    EXPECT_EQ(word->get_header_value("Content-Type"), "audio/wav");
    EXPECT_EQ(word->get_header_value("X-Cache"), "miss");
    const auto again = say("text=water&voice=en-us");
    EXPECT_EQ(again->get_header_value("X-Cache"), "hit");
    EXPECT_EQ(again->body, word->body);
    const auto british = say("text=water&voice=en-gb");
    EXPECT_EQ(british->get_header_value("X-Cache"), "miss");
    EXPECT_NE(british->body, word->body);
    EXPECT_EQ(say("text=water")->body, word->body);  // American unless asked

    const auto line = say("text=The+quick+brown+fox+jumps+over+the+lazy+dog%2C+twice.");
    const double wordSeconds = decodedSeconds(word->body);
    const double lineSeconds = decodedSeconds(line->body);
    EXPECT_GT(wordSeconds, 0.2);
    EXPECT_LT(wordSeconds, 2.0);
    EXPECT_GT(lineSeconds, 2 * wordSeconds);
    // As API.md has it: 16-bit mono at 22,050 Hz after a 44-byte header.
    EXPECT_NEAR(wordSeconds, (word->body.size() - 44) / 44100.0, 0.01);
}

// At most 3 sounds and 10 bytes: the least recently used goes first, a sound over the bytes is
// not kept, a sound made again replaces the old one.
TEST(SpeechCacheTest, DropsTheLeastRecentlyUsedPastEitherBound) {
    speech::SpeechCache cache(3, 10);
    auto sound = [](const char* bytes) { return std::make_shared<const std::string>(bytes); };
    const struct {
        const char *put, *bytes, *find, *held;  // held: the keys kept after the step
    } steps[] = {
        {"a", "11", "", "a"},
        {"b", "22", "a", "ab"},
        {"c", "33", "", "abc"},
        {"d", "44", "", "acd"},  // b was the least recently used
        {"e", "12345678901", "", "acd"},
        {"c", "3", "", "acd"},
        {"e", "55555", "", "cde"},
        {"f", "123456", "", "f"},  // past the bytes: d, c and e go
    };
    for (const auto& s : steps) {
        cache.put(s.put, sound(s.bytes));
        if (*s.find) cache.find(s.find);
        std::string held;
        for (const char* key : {"a", "b", "c", "d", "e", "f"})
            if (cache.holds(key)) held += key;
        EXPECT_EQ(held, s.held) << s.put;
        EXPECT_LE(cache.bytes(), 10u);
    }
    EXPECT_EQ(*cache.find("f"), "123456");
    EXPECT_EQ(cache.bytes(), 6u);
}

}  // namespace
}  // namespace lirra::server::test
