// SPDX-License-Identifier: GPL-3.0-or-later
// The body readers and the text beneath the parsers: forms, multipart bodies, UTF-8, numbers,
// file names, languages, video names and the decoding of legacy encodings, each as a table.
#include <gtest/gtest.h>

#include "http/Form.h"
#include "http/Multipart.h"
#include "sources/Library.h"
#include "subtitles/Language.h"
#include "subtitles/SubtitleParser.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

namespace lirra::server {
namespace {

using namespace std::string_literals;

TEST(Text, Utf8AndDecimals) {
    for (const char* good : {"Привет ü 日本 \xF0\x9F\x8E\xAC", "\xF4\x8F\xBF\xBF", ""})
        EXPECT_TRUE(isValidUtf8(good)) << good;
    // Latin-1, overlong in two and three bytes, a surrogate, past U+10FFFF, cut short.
    for (const char* bad : {"\xE9t\xE9", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "abc\xE6\x97"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    EXPECT_EQ(parseDecimal("18446744073709551615", UINT64_MAX), UINT64_MAX);
    EXPECT_EQ(parseDecimal("10", 10), 10u);
    for (const char* bad : {"18446744073709551616", "", "-1", " 1", "0x1", "1 "})
        EXPECT_FALSE(parseDecimal(bad, UINT64_MAX)) << bad;
    EXPECT_FALSE(parseDecimal("11", 10));
}

TEST(Text, FormsAsTheAppEncodesThemAndNothingElse) {
    const Form form = parseForm(
        "fileSize=734003200&movieHash=8a3f2c&fileName=My+Film%C3%A9.mkv&targetLanguageCode=eng&"
        "nativeLanguageCode=spa");
    ASSERT_EQ(form.error, "");
    EXPECT_EQ(form.fields.at("fileName"), "My Filmé.mkv");
    EXPECT_EQ(form.fields.size(), 5u);
    EXPECT_EQ(parseForm("a=1&&b=&c").fields,
              (std::map<std::string, std::string>{{"a", "1"}, {"b", ""}, {"c", ""}}));
    for (const char* bad : {"a=%4", "a=%", "a=%G0", "a=%FF", "a=1&a=2", "=x"})
        EXPECT_NE(parseForm(bad).error, "") << bad;
}

// Bodies as the app writes them are read on every upload of the loopback tests; here, the edges.
TEST(Text, MultipartBodiesParseWholeOrNotAtAll) {
    const std::string part = "Content-Disposition: form-data; name=\"1\"";
    const std::pair<std::string, const char*> rows[] = {
        // Content may hold boundary look-alikes; preamble and epilogue are ignored.
        {"preamble\r\n--B\r\n" + part + "\r\n\r\nline\r\n--Bx\r\n-B\r\n\r\n--B--\r\nepilogue",
         "1 - line\r\n--Bx\r\n-B\r\n"},
        // Only %22 %0D %0A are escapes in a file name; a part without a file has no name.
        {"--B\r\n" + part + "; filename=\"say %22hi%22%0D%0A 100%.srt\"\r\n\r\nx\r\n--B \r\n" +
             part + "\r\n\r\ny\r\n--B--",
         "1 say \"hi\"\r\n 100%.srt x|1 - y"},
        {"--B\r\n\r\n--B--\r\n", ""},               // an upload of no file
        {"--B\r\n" + part + "\r\n\r\nx", nullptr},  // unterminated
        {"--B\r\n" + part + "\r\n\r\nx\r\n--Bjunk", nullptr},
        {"--B\r\nno colon here\r\n\r\nx\r\n--B--", nullptr},
        {"--B\r\nContent-Disposition: form-data; name=\"\xE9\"\r\n\r\nx\r\n--B--", nullptr},
        {"--B\r\n" + part + "\r\n folded\r\n\r\nx\r\n--B--", nullptr},
        {"--B\r\n" + part + "\r\n" + part + "\r\n\r\nx\r\n--B--", nullptr},
        {"--B\r\nContent-Disposition: form-data\r\n\r\nx\r\n--B--", nullptr},  // no name
    };
    for (const auto& [body, parts] : rows) {
        const MultipartBody parsed = parseMultipart(body, "B");
        std::string shown;
        for (const auto& p : parsed.parts)
            shown += (shown.empty() ? "" : "|") + p.name + " " + p.fileName.value_or("-") + " " +
                     p.content;
        EXPECT_EQ(parsed.error.empty(), parts != nullptr) << body << ": " << parsed.error;
        EXPECT_EQ(shown, parts ? parts : "") << body;
    }
    std::string many = "--B";
    for (int i = 0; i < 65; ++i) many += "\r\n" + part + "\r\n\r\nx\r\n--B";
    EXPECT_EQ(parseMultipart(many + "--", "B").error, "too many parts");
    EXPECT_EQ(parseMultipart(many + "--", "B", {.maxParts = 65}).parts.size(), 65u);
    EXPECT_EQ(multipartBoundary("Multipart/Form-Data; charset=utf-8; boundary=\"a b\""), "a b");
    EXPECT_EQ(multipartBoundary("multipart/form-data; boundary=" + std::string(70, 'a')),
              std::string(70, 'a'));
    for (const std::string& bad : {"multipart/form-data; boundary="s, "text/plain; boundary=abc"s,
                                   "multipart/form-data; boundary=" + std::string(71, 'a')})
        EXPECT_FALSE(multipartBoundary(bad)) << bad;
}

TEST(Text, NamesLanguagesAndVideoStems) {
    // "RAW|shown" and "FILE NAME|language" each.
    for (const std::string c : {"../../etc/passwd|passwd", "C:\\subs\\a.srt|a.srt",
                                "a\r\nb\t.srt|a  b .srt", "  \x7f  |"})
        EXPECT_EQ(displayFileName(c.substr(0, c.find('|'))), c.substr(c.find('|') + 1)) << c;
    for (const std::string c :
         {"My Film.eng.srt|eng", "My Film.pt-BR.srt|por", "My Film.fra.vtt|fre",
          "My Film.German.srt|ger", "My Film.en.forced.srt|eng", "My Film.sdh.zh_Hans.srt|chi",
          "My.Film.2019.srt|", "en.srt|", "Film.e.srt|"})
        EXPECT_EQ(guessLanguage(c.substr(0, c.find('|'))), c.substr(c.find('|') + 1)) << c;
    for (const std::string& c : {"1pt-BR"s, "0<script>"s, "0" + std::string(17, 'a')})
        EXPECT_EQ(isLanguageCodeShape(c.substr(1)), c[0] == '1') << c;

    EXPECT_EQ(Library::videoStem("My.Film.2019.mp4"), "My.Film.2019");
    EXPECT_EQ(Library::videoStem(".hidden"), ".hidden");
}

TEST(TextDecoder, EncodingsMarksAndWhatIsNotText) {
    std::string utf16;
    for (char c : "00:00:01,000 --> 00:00:02,000\nHello there"s) utf16 += {c, '\0'};
    // Each: the bytes, and "ENCODING|text" read from them ("refused": an error).
    const std::pair<std::string, std::string> rows[] = {
        {"\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBFHello ü", "UTF-8|Hello ü"},
        {"\xFE\xFF\x00H\x00i\x04\x1F"s, "UTF-16BE|HiП"},
        {utf16, "UTF-16LE|00:00:01,000 --> 00:00:02,000\nHello there"},
        // Windows-1251 is read from a library file in the loopback tests (LookupUploadTest).
        // Found by the fuzzers: marks after the first one were kept, and hid a WebVTT header.
        {"\xFF\xFE\xFF\xFE\xFF\xFE", "UTF-16LE|"},
        {"\xFF\xFE\xFF\xFEW\0E\0B\0V\0T\0T\0\n\0"s, "UTF-16LE|WEBVTT\n"},
        {"", "UTF-8|"},
        {"\xEF\xBB\xBF\xE9", "refused"},  // a UTF-8 mark on Latin-1 bytes
        {"PK\x03\x04\x00\x00\x08\x00"s, "refused"},
        // Binary data: more than one character in ten a control character, C0 or C1.
        {"abc\0def"s, "refused"},
        {"\xC2\x80"
         "abcdefgh\xC2\x9F",
         "refused"},
        {"123456789\v", "UTF-8|123456789\v"},
    };
    for (const auto& [bytes, read] : rows) {
        const DecodedText decoded = decodeToUtf8(bytes);
        EXPECT_EQ(decoded.error.empty() ? decoded.encoding + "|" + decoded.text : "refused", read)
            << bytes << ": " << decoded.error;
    }
    EXPECT_EQ(parseSubtitle(decodeToUtf8("\xFF\xFE\xFF\xFEW\0E\0B\0V\0T\0T\0\n\0"s).text).format,
              SubtitleFormat::WebVtt);
}

// Short subtitle files in the code pages their languages come in, made here from UTF-8; the
// language is the file name's ("" for none: English). Each must read back exactly, under the
// name the service reports.
TEST(TextDecoder, LegacyCodePagesReadAsTheirLanguage) {
    const struct {
        const char *language, *encoding, *text, *reported;  // reported nullptr: `encoding`
    } rows[] = {
        {"", "WINDOWS-1252", "I don’t know. You’re late.\nIt’s fine, isn’t it?", nullptr},
        {"eng", "ISO-8859-1", "A jalapeño, naïve as ever,\nin the café.", "WINDOWS-1252"},
        {"fre", "WINDOWS-1252", "Où est mon cœur ?\n« Déjà vu », dit-elle.", nullptr},
        {"fre", "ISO-8859-15", "L'œuvre coûte 10 € à Noël.\nÇa alors !", nullptr},
        {"spa", "WINDOWS-1252", "¿Qué pasó, señor?\n¡Mañana será otro día!", "ISO-8859-1"},
        {"ger", "ISO-8859-1", "Schöne Grüße aus München.\nDie Straße ist nass.", nullptr},
        {"rus", "WINDOWS-1251", "Привет! Как дела?\nВсё хорошо, спасибо.", nullptr},
        {"rus", "KOI8-R", "Где ты был вчера вечером?\nДома, читал книгу.", nullptr},
        // Russian whose letters read in windows-1252 as letters English writes too.
        {"", "WINDOWS-1251", "Вика, подойди сюда!\nИди домой, Коля.", nullptr},
        {"pol", "WINDOWS-1250", "Zażółć gęślą jaźń.\nDzień dobry, proszę pani!", nullptr},
        {"cze", "ISO-8859-2", "Příliš žluťoučký kůň\núpěl ďábelské ódy.", nullptr},
        {"gre", "WINDOWS-1253", "Ά, ναι.\nΆντε γεια.", nullptr},  // Ά is ’ in ISO-8859-7
        {"tur", "WINDOWS-1254", "Günaydın, nasılsın?\nÇok teşekkürler, iyiyim.", "ISO-8859-9"},
        {"ara", "WINDOWS-1256", "مرحبا، كيف حالك؟\nأنا بخير، شكرا.", nullptr},
        {"heb", "WINDOWS-1255", "שלום, מה שלומך?\nאני בסדר, תודה.", nullptr},
        {"jpn", "SHIFT_JIS", "こんにちは、元気ですか？\nはい、ありがとう。", nullptr},
        {"chi", "GB18030", "你好，今天天气很好。\n我们去公园吧。", nullptr},
        {"chi", "BIG5", "你好，今天天氣很好。\n我們去公園吧。", nullptr},
        {"kor", "EUC-KR", "안녕하세요, 잘 지내세요?\n네, 감사합니다.", "UHC"},
    };
    for (const auto& row : rows) {
        const std::string file = "1\r\n00:00:01,000 --> 00:00:03,000\r\n" + std::string(row.text);
        const auto decoded =
            decodeToUtf8(convertEncoding(file, "UTF-8", row.encoding).value(), row.language);
        EXPECT_EQ(decoded.encoding + " " + decoded.text,
                  (row.reported ? row.reported : row.encoding) + (" " + file))
            << row.language;
    }
}

}  // namespace
}  // namespace lirra::server
