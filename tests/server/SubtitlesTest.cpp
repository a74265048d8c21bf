// SPDX-License-Identifier: GPL-3.0-or-later
// Subtitle files into cues: cue text that never carries markup but balanced <b>, <i>, <u>, and
// each format's own rules in tables.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "subtitles/AssText.h"
#include "subtitles/SubtitleLines.h"
#include "subtitles/SubtitleParser.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

using namespace std::string_literals;

// "start-end text" per cue, a line each, for readable failures.
std::string shown(const std::vector<Cue>& cues) {
    std::string out;
    for (const auto& c : cues)
        out += std::to_string(c.startMs) + "-" + std::to_string(c.endMs) + " " + c.text + "\n";
    return out;
}

// Whatever the text: every '<' opens or closes a balanced <b>, <i> or <u>, and every '&' starts
// one of the five escapes, so no text can become markup or an attribute in the page.
::testing::AssertionResult safe(const std::string& text) {
    static const std::regex token(R"(<(/?)([biu])>|&(amp|lt|gt|quot|#39);|[<>&"'])");
    std::string open;
    for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) {
        const std::smatch& m = *it;
        if (m[2].matched && !m[1].length()) {
            open += m.str(2);
        } else if (m[2].matched && !open.empty() && open.back() == m.str(2)[0]) {
            open.pop_back();
        } else if (!m[3].matched) {
            return ::testing::AssertionFailure()
                   << "bare " << m.str() << " at " << m.position() << " of " << text;
        }
    }
    if (!open.empty())
        return ::testing::AssertionFailure() << "unclosed <" << open << "> in " << text;
    return ::testing::AssertionSuccess();
}

TEST(CueText, NoTextBecomesMarkup) {
    const std::string alphabet = "<>/&\"'biusv;#x1 \n{}\\Nampltq.=";
    std::mt19937 rng(7);
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        for (int k = int(rng() % 40); k > 0; --k) text += alphabet[rng() % alphabet.size()];
        EXPECT_TRUE(safe(sanitizeCueText(text, false)));
        EXPECT_TRUE(safe(sanitizeCueText(text, true)));
        EXPECT_TRUE(safe(assTextToCueText(text)));
    }
}

TEST(SubtitleTimes, EachFieldWithinItsBounds) {
    // "TEXT=ms", "-" for no time.
    for (const std::string c :
         {"01:02:03,456=3723456", "1:02:03.4=3723400", "02:03.456=123456", "00:00:01,5=1500",
          "00:00:01,05=1050", " 00:00:01,000 =1000", "100:00:00,000=360000000", "100:00:00,001=-",
          "00:60:00,000=-", "00:00:60,000=-", "00:00:01,0000=-", "00:00:01,=-", "1,000=-",
          "1000:00:00,000=-", "0a:00:00=-", "00:00:00:01,000=-"}) {
        const auto ms = subtitles::parseTimestamp(c.substr(0, c.find('=')));
        EXPECT_EQ(ms ? std::to_string(*ms) : "-", c.substr(c.find('=') + 1)) << c;
    }
}

// Each format's rules beyond the generated files: what is no cue, what each marks up.
TEST(Subtitles, EachFormatsOwnRules) {
    const std::pair<std::string, const char*> rows[] = {
        // SubRip: an index before a timing line is no text, a lone CR ends a line; no timing,
        // ending before starting or nothing to show is no cue; override codes go, entities are
        // text, tags stay balanced.
        {"oops --> no time\nlost\n\n1\n00:00:01,000 --> 00:00:02,000\nOne\n2\r00:00:03,000 --> "
         "00:00:04,000\r<B>b<I>bi</b> </i>after\r\r3\n00:00:05,000 --> 00:00:04,000\nback\n\n"
         "4\n00:00:06,000 --> 00:00:07,000\n{\\an8}\n\n5\n00:00:08,000 --> 00:00:09,000\n"
         "{\\an8}Top &amp;<img src=x onerror=alert(1)><script>x</script>\n",
         "srt 1000-2000 One\n3000-4000 <b>b<i>bi</i></b> after\n8000-9000 Top &amp;amp;x\n"},
        // WebVTT: header text, metadata blocks, voices, classes, inner time stamps, entities.
        {"WEBVTT - title\n\nNOTE a\nno cue\n\nSTYLE\n::cue {}\n\n"
         "00:01.000 --> 00:02.000\n<v Anna>Tom &amp; <c.y>Jerry</c> &#72;&#x69; "
         "<00:00:01.500>&lt;3\n",
         "vtt 1000-2000 Tom &amp; Jerry Hi &lt;3\n"},
        {"WEBVTTX\n\n00:01.000 --> 00:02.000\nx\n", "srt 1000-2000 x\n"},
        // MicroDVD: 23.976 frames a second without a rate line (one only as the first line,
        // with frames 0 or 1), styles for every line, "/" for italics, 3 s without an end.
        {"{2398}{4796}{Y:b}One|/two\n{4796}{}Open\n",
         "sub 100017-200033 <b>One</b>\n<b><i>two</i></b>\n200033-203036 Open\n"},
        {"{1}{2}25\n{25}{50}x\n", "sub 42-83 25\n1043-2085 x\n"},
        // ASS: the fields in the Format line's order; comments, layered copies, bad events out.
        {"[Script Info]\n[V4+ Styles]\nFormat: Name, Text\n[Events]\n"
         "Format: Marked, End, Start, Style, Text\n"
         "Dialogue: Marked=0,0:00:09.00,0:00:08.00,Default,Later, with, commas\n"
         "Comment: 0,0:00:02.00,0:00:01.00,Default,a comment\n"
         "Dialogue: 0,0:00:02.00,0:00:01.00,Default,First\n"
         "Dialogue: 1,0:00:02.00,0:00:01.00,Outline,{\\bord3}First\n"
         "Dialogue: 0,0:00:02.00,0:00:03.00,Default,backwards\n"
         "Dialogue: 0,0:00:0x.00,0:00:01.00,Default,bad time\nDialogue: 0,0:00:03.00\n"
         "Dialogue: 0,1:02:03.456,1:02:03.4,Default,Fractions\n",
         "ass 1000-2000 First\n8000-9000 Later, with, commas\n3723400-3723456 Fractions\n"},
        // The standard ten fields without a Format line, the section named in any case.
        {"\xEF\xBB\xBF\r\n  [events]\r\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Ten\r\n",
         "ass 1000-2000 Ten\n"},
        {"--> \n", "srt "},  // a timing arrow makes SubRip of what holds no cue
        {"just some words\n[Script Info] later\n", "unknown "},
    };
    for (const auto& [file, expected] : rows) {
        const auto parsed = parseSubtitle(file);
        EXPECT_EQ(formatName(parsed.format) + (" " + shown(parsed.cues)), expected) << file;
    }
}

// WebVTT files read as browsers read them, through the decoder. Rows not starting with a
// header get "WEBVTT\n\n".
TEST(WebVtt, TimingsAndBlocksAsBrowsersReadThem) {
    const std::pair<std::string, const char*> rows[] = {
        // Hours of one digit or three, or after minutes past 59; any ASCII space between the
        // parts, or none; settings glued to the end.
        {"1:00:00.000 --> 100:00:00.000\na\n\n59:59.999 --> 60:00:00.000\nb\n\n"
         "00:01.000\f-->\f00:02.000\nc\n\n\t00:01.000-->00:02.000align:start\nd",
         "1000-2000 c\n1000-2000 d\n3599999-216000000 b\n3600000-360000000 a\n"},
        // Two digits for minutes and seconds, three for the fraction after a dot: none a cue.
        {"00:0:00.000 --> 00:01.000\nx\n\n00:000:00.000 --> 00:01.000\nx\n\n"
         "00:00:0.000 --> 00:00:01.000\nx\n\n00:00:00.0 --> 00:00:01.000\nx\n\n"
         "00:00.000 --> 00:01.0000\nx\n\n00:00:00 --> 00:00:01.000\nx\n\n"
         "00:00.000 --> 0:01.000\nx\n\n00:00.000 --> 60:00.000\nx\n\n"
         "00:00.000 --> 00:60.000\nx\n\n00:00:00,000 --> 00:00:01,000\nx",
         ""},
        // NUL reads as U+FFFD, other control characters as themselves.
        {"00:01.000 --> 00:02.000\nnull\0 and\v\0"s,
         "1000-2000 null\xEF\xBF\xBD and\v\xEF\xBF\xBD\n"},
        // A numeric entity reaches ten characters before its ';' at most.
        {"00:01.000 --> 00:02.000\n&#00000072;&#000000072;", "1000-2000 H&amp;#000000072;\n"},
        // An id line before the timing line; after two lines the timing line starts a block.
        {"id 1\n00:01.000 --> 00:02.000\na\n\none\ntwo\n00:03.000 --> 00:04.000\nb",
         "1000-2000 a\n3000-4000 b\n"},
        {"NOTE 00:01.000 --> 00:02.000\nx\n\nNOTE\n00:03.000 --> 00:04.000\nd", "3000-4000 d\n"},
        // An arrow in the text ends the cue and starts a block that is no cue; a line of spaces
        // does not end a cue; blank lines missing after the header or between cues.
        {"00:01.000 --> 00:02.000\nfirst\nnot --> a time\nlost\n\n00:03.000 --> 00:04.000\na\n \nb",
         "1000-2000 first\n3000-4000 a\n\nb\n"},
        {"WEBVTT\nKind: captions\n00:01.000 --> 00:02.000\na\n2\n00:03.000 --> 00:04.000\nb",
         "1000-2000 a\n2\n3000-4000 b\n"},
    };
    for (const auto& [body, expected] : rows) {
        const auto decoded =
            decodeToUtf8(body.substr(0, 6) == "WEBVTT" ? body : "WEBVTT\n\n" + body);
        EXPECT_EQ(decoded.error + shown(parseSubtitle(decoded.text).cues), expected) << body;
    }
}

TEST(AssText, OverrideCodesToCueText) {
    const std::pair<const char*, const char*> rows[] = {
        {"{\\an8\\pos(10,20)\\c&H00FFFF&}Top{\\fs20} line{ a note }", "Top line"},
        {"one\\Ntwo\\nthree\\hfour", "one\ntwo\nthree four"},
        {"  a  \\N\\N  b ", "a\nb"},
        {"{\\i1}to the end", "<i>to the end</i>"},
        {"{\\b700}heavy{\\b400} light{\\u1}under{\\u}", "<b>heavy</b> light<u>under</u>"},
        {"{\\i1}a{\\b1}b{\\i0}c{\\b0}d", "<i>a<b>b</b></i><b>c</b>d"},
        {"{\\i1}one\\Ntwo", "<i>one\ntwo</i>"},
        {"{\\b1\\i1}x{\\rDefault}y", "<i><b>x</b></i>y"},
        {"{\\be1\\bord2\\blur3\\iclip(1,2,3,4)\\shad1\\t(0,500,\\i1)}x", "x"},
        {"{\\i1}{\\i0}x{\\i1}   {\\i0}", "x"},
        {"{\\i1}  {\\b1} {\\i0}\\h x{\\b0} ", "<b>x</b>"},
        {"{\\p1}m 0 0 l 100 0 100 100{\\p0}after", "after"},
        {"{\\p1}m 0 0 l 1 1", ""},
        {"a } b C:\\dir {c", "a } b C:\\dir {c"},
        {"a\tb\x01", "a b"},
        {"\xC3\xA9t\xC3\xA9{\\i1}\xE2\x80\xA6", "\xC3\xA9t\xC3\xA9<i>\xE2\x80\xA6</i>"},
    };
    for (const auto& [event, cue] : rows) EXPECT_EQ(assTextToCueText(event), cue) << event;
}

}  // namespace
}  // namespace lirra::server
