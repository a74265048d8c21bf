// SubRip, WebVTT, MicroDVD and ASS into cues, and the cleaning of cue text for the pages.
#include <gtest/gtest.h>

#include "subtitles/SubtitleParser.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

using namespace std::string_literals;

TEST(SubRip, CuesWithIndexesLineEndingsAndMissingBlankLines) {
    const auto parsed = parseSubtitle(
        "\xEF\xBB\xBF"
        "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\nworld\r\n\r\n"
        "2\n00:01:02.5 --> 00:01:03,75\nSecond\n"
        "3\n1:00:00,000 --> 1:00:01,000 X1:10\nThird\n\n\n"
        "oops --> not a time\nlost text\n\n"
        "4\r00:00:05,000 --> 00:00:04,000\rends before it starts\r\r"
        "5\n00:00:06,000 --> 00:00:07,000\n\n");
    EXPECT_EQ(parsed.format, SubtitleFormat::SubRip);
    ASSERT_EQ(parsed.cues.size(), 3u);
    EXPECT_EQ(parsed.cues[0].startMs, 1000);
    EXPECT_EQ(parsed.cues[0].endMs, 2500);
    EXPECT_EQ(parsed.cues[0].text, "Hello\nworld");
    EXPECT_EQ(parsed.cues[1].startMs, 62500);
    EXPECT_EQ(parsed.cues[1].endMs, 63750);
    EXPECT_EQ(parsed.cues[1].text, "Second");  // the next cue's index is not its text
    EXPECT_EQ(parsed.cues[2].startMs, 3600000);

    // Times up to 100 hours, longer than any video.
    const auto far = parseSubtitle(
        "1\n99:59:59,000 --> 100:00:00,000\nlast\n\n2\n99:59:59,000 --> 100:00:00,001\npast\n");
    ASSERT_EQ(far.cues.size(), 1u);
    EXPECT_EQ(far.cues[0].endMs, 360000000);
}

TEST(WebVtt, HeaderNotesSettingsAndEntities) {
    const auto parsed = parseSubtitle(
        "WEBVTT - a title\n\nNOTE this is\n00:00:00.000 --> 00:00:09.000\nnot a cue\n\n"
        "STYLE\n::cue { color: red }\n\n"
        "intro\n00:01.000 --> 00:02.000 line:0 align:start\n<v Anna>Tom &amp; Jerry &lt;3</v>\n\n"
        "00:00:03.000 --> 00:00:04.000\n<c.yellow>colour</c> &#72;&#x69; <00:00:03.500>late\n");
    EXPECT_EQ(parsed.format, SubtitleFormat::WebVtt);
    ASSERT_EQ(parsed.cues.size(), 2u);
    EXPECT_EQ(parsed.cues[0].startMs, 1000);
    EXPECT_EQ(parsed.cues[0].text, "Tom &amp; Jerry &lt;3");
    EXPECT_EQ(parsed.cues[1].text, "colour Hi late");
    EXPECT_EQ(parseSubtitle("WEBVTTX\n\n00:01.000 --> 00:02.000\nx\n").format,
              SubtitleFormat::SubRip);
}

TEST(MicroDvd, FrameRateLineOrTheDefault) {
    auto parsed = parseSubtitle(
        "{1}{1}25.000\n{25}{50}Hello|world\n{75}{100}{y:i}Slanted\n{125}{}Open end\n");
    EXPECT_EQ(parsed.format, SubtitleFormat::MicroDvd);
    ASSERT_EQ(parsed.cues.size(), 3u);
    EXPECT_EQ(parsed.cues[0].startMs, 1000);
    EXPECT_EQ(parsed.cues[0].endMs, 2000);
    EXPECT_EQ(parsed.cues[0].text, "Hello\nworld");
    EXPECT_EQ(parsed.cues[1].text, "<i>Slanted</i>");
    EXPECT_EQ(parsed.cues[2].startMs, 5000);
    EXPECT_EQ(parsed.cues[2].endMs, 8000);

    parsed = parseSubtitle("{2398}{4796}{Y:b}One|/two\n");
    ASSERT_EQ(parsed.cues.size(), 1u);
    EXPECT_EQ(parsed.cues[0].startMs, 100017);  // 2398 frames at 23.976
    EXPECT_EQ(parsed.cues[0].endMs, 200033);
    EXPECT_EQ(parsed.cues[0].text, "<b>One</b>\n<b><i>two</i></b>");
}

TEST(CueText, OnlyBalancedSafeTagsSurvive) {
    EXPECT_EQ(sanitizeCueText("<script>alert(1)</script>", false), "alert(1)");
    EXPECT_EQ(sanitizeCueText("<img src=x onerror=alert(1)>hi", false), "hi");
    EXPECT_EQ(sanitizeCueText("<B>bold<I>both</b>", false), "<b>bold<i>both</i></b>");
    EXPECT_EQ(sanitizeCueText("</i>stray", false), "stray");
    EXPECT_EQ(sanitizeCueText("{\\an8}top & \"quoted\" 'x' a<b", false),
              "top &amp; &quot;quoted&quot; &#39;x&#39; a&lt;b");
    EXPECT_EQ(sanitizeCueText("1 < 2 > 0", false), "1 &lt; 2 &gt; 0");
    EXPECT_EQ(sanitizeCueText("&amp;", false), "&amp;amp;");  // SubRip has no entities
    EXPECT_EQ(sanitizeCueText("&amp;&bogus;", true), "&amp;&amp;bogus;");
    EXPECT_EQ(sanitizeCueText("\n  line  \n\n", false), "line");
}

TEST(Formats, AssByItsFirstSectionAndUnknownTextWithoutCues) {
    const auto ass = parseSubtitle(
        "\xEF\xBB\xBF[Script Info]\r\n[Events]\r\nFormat: Marked, Start, End, Style, Text\r\n"
        "Dialogue: Marked=0,0:00:01.00,0:00:02.00,Default,{\\b1}Buenos{\\b0}\\Namigos\r\n");
    EXPECT_EQ(ass.format, SubtitleFormat::Ass);
    ASSERT_EQ(ass.cues.size(), 1u);
    EXPECT_EQ(ass.cues[0].text, "<b>Buenos</b>\namigos");
    EXPECT_EQ(parseSubtitle("just some words\nand more").format, SubtitleFormat::Unknown);
}

// Inputs the parser fuzzers (fuzz/) found faults with, kept as they were found.
TEST(TextDecoderFindings, RepeatedByteOrderMarksAreAllRemoved) {
    // A UTF-16 mark followed by two more marks as characters: the result held a BOM.
    const DecodedText marks = decodeToUtf8(std::string("\xFF\xFE\xFF\xFE\xFF\xFE"));
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
