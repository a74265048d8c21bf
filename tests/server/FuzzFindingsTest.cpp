// Inputs the parser fuzzers (fuzz/) found faults with, kept as they were found.
#include <gtest/gtest.h>

#include <string>

#include "subtitles/SubtitleParser.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

using namespace std::string_literals;

TEST(TextDecoderFindings, RepeatedByteOrderMarksAreAllRemoved) {
    // A UTF-16 mark followed by two more marks as characters: the result held a BOM.
    const DecodedText marks = decodeToUtf8("\xFF\xFE\xFF\xFE\xFF\xFE"s);
    EXPECT_EQ(marks.error, "");
    EXPECT_EQ(marks.text, "");
    EXPECT_EQ(marks.encoding, "UTF-16LE");

    // The same fault in a real file hid its WebVTT header.
    const DecodedText vtt = decodeToUtf8(
        "\xFF\xFE\xFF\xFEW\0E\0B\0V\0T\0T\0\n\0\n\0"
        "0\0\x30\0:\0\x30\0\x31\0.\0\x30\0\x30\0\x30\0 \0-\0-\0>\0 \0"
        "0\0\x30\0:\0\x30\0\x32\0.\0\x30\0\x30\0\x30\0\n\0H\0i\0\n\0"s);
    ASSERT_EQ(vtt.error, "");
    EXPECT_EQ(vtt.text, "WEBVTT\n\n00:01.000 --> 00:02.000\nHi\n");
    const ParsedSubtitle parsed = parseSubtitle(vtt.text);
    EXPECT_EQ(parsed.format, SubtitleFormat::WebVtt);
    ASSERT_EQ(parsed.cues.size(), 1u);
    EXPECT_EQ(parsed.cues[0].text, "Hi");
}

}  // namespace
}  // namespace lirra::server
