// SPDX-License-Identifier: GPL-3.0-or-later
// How a clicked line becomes words: letter case, splitting, contractions, and the table of the
// pages' languages against FreeDict's names.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "NativeLanguages.h"
#include "TextFold.h"
#include "Words.h"

namespace lirra::server::dictionary::test {
namespace {

// "WORD:PARTS": the parts of speech as letters n v a r, none when it may be any.
std::string withParts(const std::string& word, unsigned parts) {
    std::string letters;
    for (int i = 0; i < 4; ++i) letters += std::string(parts >> i & 1, "nvar"[i]);
    return parts == kAnyPartOfSpeech ? word : word + ":" + letters;
}

// Every capital of the scripts the dictionaries fold (Latin-1, Latin Extended-A, Greek,
// Cyrillic) lowered as the C library's Unicode tables lower it, and every other character kept.
TEST(TextFoldTest, LowersCaseAsUnicodeDoes) {
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    for (char32_t c = 0; c < 0x530; ++c) {
        const bool folded = c < 0x180 || (c >= 0x391 && c <= 0x3A9) || (c >= 0x400 && c <= 0x42F);
        const char32_t expected = folded ? static_cast<char32_t>(std::towlower(c)) : c;
        EXPECT_EQ(lowerCodePoint(c), expected) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(WordsTest, SplitsALineAsALearnerSeesItAndUndoesContractionsAndPossessives) {
    auto words = [](const std::string& line) {
        std::string out;
        for (const auto& word : splitWords(line, 16))
            out += (out.empty() ? "" : " ") + word.text + (word.breakAfter ? "|" : "");
        return out;
    };
    // "LINE→the words", "|" after one that ends a phrase; markup is never a word.
    for (const std::string c :
         {"Don’t give up, Tom!→don't give up| tom|", "  “Look  out!” she said.→look out| she said|",
          "She's my mother-in-law...→she's my mother-in-law|", "Wait - what?→wait| what|",
          "well—maybe→well| maybe", "<i>Look</i> <b>up</b>→look up",
          "rock &amp; roll &#39;n&#x27; more→rock| roll 'n' more",
          "e.g. U.S. 3.5. →e.g.| u.s.| 3.5|", "goin' home, 'cause→goin' home| 'cause",
          "Ünïcödé ŁÓDŹ Добрый→ünïcödé łódź добрый", "שלום עולם→שלום עולם",
          "I ❤️ you 🙂→i| you|", "?!... ---→",
          "a\xff\xfe"
          "b c\xc3→a| b c|",
          "x<yz and a>b→x b"}) {
        EXPECT_EQ(words(c.substr(0, c.find("→"))), c.substr(c.find("→") + 3)) << c;
    }
    EXPECT_EQ(words(std::string("nul\0byte", 8)), "nul| byte");
    EXPECT_EQ(splitWords("one two three four", 2).size(), 2u);

    for (const std::string c :
         {"don't=do:v not:r", "won't=will:v not:r", "can't=can:v not:r", "we'll=we will:v",
          "i'd=i would:v", "they're=they be:v", "i've=i have:v", "i'm=i be:v", "it's=it be:v",
          "tom's=tom", "children's=children", "students'=students", "goin'=going", "'em=them",
          "let's=let:v us", "'look=look", "o'clock=o'clock", "'="}) {
        std::string parts;
        for (const auto& part : expandContraction(c.substr(0, c.find('='))))
            parts += (parts.empty() ? "" : " ") + withParts(part.word, part.partsOfSpeech);
        EXPECT_EQ(parts, c.substr(c.find('=') + 1)) << c;
    }
}

TEST(NativeLanguagesTest, CoversEveryLanguageOfThePagesWithFreeDictsNameAndDebiansPackage) {
    std::stringstream pages, packages;
    pages << std::ifstream(LIRRA_LANGUAGES_JS).rdbuf();
    packages << std::ifstream(LIRRA_DEBIAN_PACKAGES).rdbuf();
    const std::string source = pages.str();
    std::set<std::string> listed;
    for (std::string line; std::getline(packages, line);) listed.insert(line);
    EXPECT_TRUE(listed.count("dict-wn") && listed.count("wordnet-base"));
    const std::regex entry(R"(\['([a-z]{3})', ')");
    std::size_t codes = 0;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), entry);
         it != std::sregex_iterator(); ++it, ++codes) {
        const NativeLanguage* language = findNativeLanguage((*it)[1].str());
        ASSERT_NE(language, nullptr) << (*it)[1];
        EXPECT_EQ(language->code, (*it)[1].str());
        EXPECT_NE(language->freeDict, "rom") << "Romany is not a page language";
        if (language->package.empty()) continue;
        EXPECT_EQ(language->package, "dict-freedict-eng-" + std::string(language->freeDict));
        EXPECT_TRUE(listed.count(std::string(language->package))) << "the setup installs it";
    }
    EXPECT_EQ(codes, nativeLanguages().size());
    // FreeDict names Romanian "ron" ("rom" is Romany), French "fra"; its names work too.
    EXPECT_EQ(findNativeLanguage("rum")->freeDict, "ron");
    EXPECT_EQ(findNativeLanguage("fre")->package, "dict-freedict-eng-fra");
    EXPECT_EQ(findNativeLanguage("deu")->code, "ger");
    EXPECT_EQ(findNativeLanguage("rom"), nullptr);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
