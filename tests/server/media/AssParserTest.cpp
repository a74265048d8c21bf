// ASS/SSA scripts into cues: the event cases in one table, then the script-level cases.
#include <gtest/gtest.h>

#include <string>

#include "subtitles/AssParser.h"
#include "subtitles/AssText.h"

namespace lirra::server {
namespace {

struct TextCase {
    const char* name;
    const char* event;
    const char* cue;
};

TEST(AssText, EventTextToCueText) {
    const TextCase cases[] = {
        {"plain", "Hello there", "Hello there"},
        {"override blocks go", "{\\an8\\pos(10,20)\\c&H00FFFF&}Top{\\fs20} line", "Top line"},
        {"comment blocks go", "Hi{ a note for the editor }!", "Hi!"},
        {"hard and soft breaks", "one\\Ntwo\\nthree", "one\ntwo\nthree"},
        {"hard space", "a\\hb", "a b"},
        {"lines trimmed, empty ones dropped", "  a  \\N\\N  b ", "a\nb"},
        {"italic span", "{\\i1}slanted{\\i0} upright", "<i>slanted</i> upright"},
        {"unclosed italic closed", "{\\i1}to the end", "<i>to the end</i>"},
        {"bold by weight", "{\\b700}heavy{\\b400} light", "<b>heavy</b> light"},
        {"underline", "{\\u1}under{\\u}", "<u>under</u>"},
        {"overlapping styles stay balanced", "{\\i1}a{\\b1}b{\\i0}c{\\b0}d",
         "<i>a<b>b</b></i><b>c</b>d"},
        {"a style across a break", "{\\i1}one\\Ntwo", "<i>one\ntwo</i>"},
        {"reset", "{\\b1\\i1}x{\\rDefault}y", "<i><b>x</b></i>y"},
        {"look-alike codes are not styles", "{\\be1\\bord2\\blur3\\iclip(1,2,3,4)\\shad1}x", "x"},
        {"animated codes do not apply now", "{\\t(0,500,\\i1\\b1)}x", "x"},
        {"codes with nothing between them", "{\\i1}{\\i0}x", "x"},
        {"drawing only", "{\\p1}m 0 0 l 100 0 100 100 0 100{\\p0}", ""},
        {"drawing then text", "{\\p1}m 0 0 l 1 1{\\p0}after", "after"},
        {"unclosed brace shown", "a {b", "a {b"},
        {"stray closing brace shown", "a } b", "a } b"},
        {"markup is text", "<i>x</i> & \"y\" 'z'",
         "&lt;i&gt;x&lt;/i&gt; &amp; &quot;y&quot; &#39;z&#39;"},
        {"a backslash that is no code", "C:\\dir", "C:\\dir"},
        {"tabs become spaces, controls go", "a\tb\x01", "a b"},
        {"only codes", "{\\i1}   {\\i0}", ""},
        {"UTF-8 kept", "\xC3\xA9t\xC3\xA9{\\i1}\xE2\x80\xA6",
         "\xC3\xA9t\xC3\xA9<i>\xE2\x80\xA6</i>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(assTextToCueText(c.event), c.cue) << c.name;
    }
}

constexpr char kHeader[] =
    "[Script Info]\r\nTitle: test\r\nScriptType: v4.00+\r\n\r\n"
    "[V4+ Styles]\r\nFormat: Name, Fontname, Fontsize, Bold, Italic\r\n"
    "Style: Default,Arial,20,0,-1\r\n\r\n[Events]\r\n";

TEST(AssParser, EventsInTheOrderOfTheFormatLine) {
    const std::string script =
        std::string(kHeader) +
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n"
        "Dialogue: 0,0:00:05.00,0:00:06.50,Default,,0,0,0,,Later, with, commas\r\n"
        "Comment: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,a comment\r\n"
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,First\r\n"
        "Dialogue: 1,0:00:01.00,0:00:02.00,Outline,,0,0,0,,{\\bord3}First\r\n"
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Same time, other text\r\n"
        "Dialogue: 0,0:00:03.00,0:00:02.00,Default,,0,0,0,,ends before it starts\r\n"
        "Dialogue: 0,0:00:03.00,0:00:04.00,Default,,0,0,0,,{\\p1}m 0 0 l 5 5{\\p0}\r\n"
        "Dialogue: 0,0:0x:03.00,0:00:04.00,Default,,0,0,0,,bad time\r\n"
        "Dialogue: 0,0:00:03.00\r\n"
        "Dialogue: 0,1:02:03.4,1:02:03.456,Default,,0,0,0,,Fractions\r\n";
    ASSERT_TRUE(looksLikeAss(script));
    const auto cues = parseAss(script);
    ASSERT_EQ(cues.size(), 4u);
    EXPECT_EQ(cues[0].startMs, 1000);
    EXPECT_EQ(cues[0].endMs, 2000);
    EXPECT_EQ(cues[0].text, "First");
    EXPECT_EQ(cues[1].text, "Same time, other text");
    EXPECT_EQ(cues[2].startMs, 5000);
    EXPECT_EQ(cues[2].endMs, 6500);
    EXPECT_EQ(cues[2].text, "Later, with, commas");
    EXPECT_EQ(cues[3].startMs, 3723400);
    EXPECT_EQ(cues[3].endMs, 3723456);

    // Another order of fields, as an old SubStation script or a hand-made one has it.
    const auto reordered = parseAss(
        "[Script Info]\n[Events]\nFormat: Marked, End, Start, Style, Text\n"
        "Dialogue: Marked=0,0:00:09.00,0:00:08.00,Default,Reordered\n");
    ASSERT_EQ(reordered.size(), 1u);
    EXPECT_EQ(reordered[0].startMs, 8000);
    EXPECT_EQ(reordered[0].endMs, 9000);

    // Without a Format line the standard ten fields; a Format in [V4+ Styles] is not theirs.
    const auto defaulted = parseAss(
        "[Script Info]\n[V4+ Styles]\nFormat: Name, Text\n[Events]\n"
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Default order\n");
    ASSERT_EQ(defaulted.size(), 1u);
    EXPECT_EQ(defaulted[0].text, "Default order");
}

TEST(AssParser, RecognisedByItsFirstSection) {
    EXPECT_TRUE(looksLikeAss("\xEF\xBB\xBF\r\n  [Script Info]\r\n"));
    EXPECT_TRUE(looksLikeAss("[events]\n"));
    EXPECT_FALSE(looksLikeAss("1\n00:00:01,000 --> 00:00:02,000\n[Script Info]\n"));
    EXPECT_FALSE(looksLikeAss("WEBVTT\n"));
    EXPECT_FALSE(looksLikeAss(""));
}

}  // namespace
}  // namespace lirra::server
