// SPDX-License-Identifier: GPL-3.0-or-later
// "Say it" from a real server on loopback: sound FFmpeg decodes, as long as what it says, made
// once per text and voice.
#include "ServerFixture.h"
#include "media/MediaFiles.h"

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
}

}  // namespace
}  // namespace lirra::server::test
