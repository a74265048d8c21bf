// Forms, UTF-8, file names, languages, library name matching and text decoding.
#include <gtest/gtest.h>

#include "http/Form.h"
#include "sources/Library.h"
#include "subtitles/Language.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

TEST(Utf8, AcceptsUtf8AndRefusesEverythingElse) {
    EXPECT_TRUE(isValidUtf8("Привет ü 日本 \xF0\x9F\x8E\xAC"));
    EXPECT_FALSE(isValidUtf8("\xE9t\xE9"));         // Latin-1
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));      // overlong, three bytes
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(isValidUtf8("abc\xE6\x97"));       // cut short
}

TEST(Decimal, StrictDigitsWithinBounds) {
    EXPECT_EQ(parseDecimal("18446744073709551615", UINT64_MAX), UINT64_MAX);
    EXPECT_FALSE(parseDecimal("18446744073709551616", UINT64_MAX));
    EXPECT_FALSE(parseDecimal("11", 10));
    for (const char* bad : {"", "-1", " 1", "0x1"}) EXPECT_FALSE(parseDecimal(bad, 100)) << bad;
}

TEST(Form, DecodesTheAppsLookupBody) {
    const Form form = parseForm(
        "fileSize=734003200&movieHash=8a3f2c&fileName=My+Film%C3%A9.mkv&targetLanguageCode=eng&"
        "nativeLanguageCode=spa");
    ASSERT_EQ(form.error, "");
    EXPECT_EQ(form.fields.at("fileName"), "My Filmé.mkv");
    EXPECT_EQ(form.fields.size(), 5u);
    EXPECT_EQ(parseForm("a=1&&b=&c").fields.size(), 3u);  // empty pieces skipped, c is empty
}

TEST(Form, RefusesWhatItCannotReadExactly) {
    for (const char* bad : {"a=%4", "a=%FF", "a=1&a=2", "=x"}) {
        EXPECT_NE(parseForm(bad).error, "") << bad;
    }
}

TEST(FileNames, DisplayNamesLoseDirectoriesAndControls) {
    EXPECT_EQ(displayFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(displayFileName("C:\\subs\\a.srt"), "a.srt");
    EXPECT_EQ(displayFileName("a\r\nb\t.srt"), "a  b .srt");
    EXPECT_EQ(displayFileName("  \x7f  "), "");
}

TEST(Languages, GuessedFromFileNameTags) {
    const std::pair<const char*, const char*> rows[] = {
        {"My Film.eng.srt", "eng"},
        {"My Film.pt-BR.srt", "por"},
        {"My Film.fra.vtt", "fre"},
        {"My Film.German.srt", "ger"},
        {"My Film.en.forced.srt", "eng"},
        {"My.Film.2019.srt", ""},
        {"en.srt", ""},
    };
    for (const auto& [name, language] : rows) EXPECT_EQ(guessLanguage(name), language) << name;
    EXPECT_TRUE(isLanguageCodeShape("pt-BR"));
    EXPECT_FALSE(isLanguageCodeShape("<script>"));
}

TEST(Library, SubtitleNamesMatchTheVideoStem) {
    EXPECT_EQ(Library::videoStem("My.Film.2019.mp4"), "My.Film.2019");
    EXPECT_EQ(Library::videoStem(".hidden"), ".hidden");
    for (const char* name : {"My Film.eng.SRT", "My Film.sub", "My Film.en.forced.srt"}) {
        EXPECT_TRUE(Library::matchesStem("My Film", name)) << name;
    }
    for (const char* name : {"My Film 2.srt", "My Film.txt", "my film.srt", "My Film."}) {
        EXPECT_FALSE(Library::matchesStem("My Film", name)) << name;
    }
}

TEST(TextDecoder, ByteOrderMarksAndUtf8) {
    auto d = decodeToUtf8("\xEF\xBB\xBFHello ü");
    EXPECT_EQ(d.text, "Hello ü");
    EXPECT_EQ(d.encoding, "UTF-8");
    d = decodeToUtf8(std::string("\xFE\xFF\x00H\x00i\x04\x1F", 8));
    EXPECT_EQ(d.text, "HiП");
    EXPECT_EQ(d.encoding, "UTF-16BE");
    EXPECT_NE(decodeToUtf8("\xEF\xBB\xBF\xE9").error, "");  // a UTF-8 mark on Latin-1 bytes
}

TEST(TextDecoder, Utf16WithoutMarkAndLegacyEncodings) {
    std::string utf16;
    for (char c : std::string("00:00:01,000 --> 00:00:02,000\nHello there")) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    auto d = decodeToUtf8(utf16);
    EXPECT_EQ(d.encoding, "UTF-16LE");
    EXPECT_EQ(d.text, "00:00:01,000 --> 00:00:02,000\nHello there");
    // Russian prose in Windows-1251.
    d = decodeToUtf8(
        "\xCF\xF0\xE8\xE2\xE5\xF2, \xEA\xE0\xEA \xE4\xE5\xEB\xE0? \xDD\xF2\xEE "
        "\xEF\xF0\xEE\xF1\xF2\xEE\xE9 "
        "\xF2\xE5\xEA\xF1\xF2 \xED\xE0 \xF0\xF3\xF1\xF1\xEA\xEE\xEC \xFF\xE7\xFB\xEA\xE5.");
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.encoding, "WINDOWS-1251");
    EXPECT_EQ(d.text, "Привет, как дела? Это простой текст на русском языке.");
}

TEST(TextDecoder, BinaryIsNotText) {
    EXPECT_NE(decodeToUtf8(std::string("PK\x03\x04\x00\x00\x08\x00", 8)).error, "");
    EXPECT_NE(decodeToUtf8(std::string("abc\0def", 7)).error, "");
    EXPECT_EQ(decodeToUtf8("").error, "");
}

}  // namespace
}  // namespace lirra::server
