// How a clicked line becomes words and dictionary forms: letter case, splitting, contractions,
// WordNet's morphology, and the table of the pages' languages against FreeDict's names.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "Morphology.h"
#include "NativeLanguages.h"
#include "TextFold.h"
#include "Words.h"

namespace lirra::server::dictionary::test {
namespace {

std::string texts(const std::vector<Word>& words) {
    std::string out;
    for (const auto& word : words) {
        out += (out.empty() ? "" : " ") + word.text + (word.breakAfter ? "|" : "");
    }
    return out;
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

TEST(WordsTest, SplitsALineAsALearnerSeesIt) {
    struct Case {
        const char* line;
        const char* words;  // "|" after a word that ends a phrase
    } cases[] = {
        {"Don’t give up, Tom!", "don't give up| tom|"},
        {"  “Look  out!” she said.", "look out| she said|"},
        {"She's my mother-in-law...", "she's my mother-in-law|"},
        {"Wait - what?", "wait| what|"},
        {"well—maybe", "well| maybe"},
        {"<i>Look</i> <b>up</b>", "look up"},
        {"rock &amp; roll &#39;n&#x27; more", "rock| roll 'n' more"},
        {"e.g. U.S. 3.5", "e.g| u.s| 3.5"},
        {"goin' home, 'cause", "goin' home| 'cause"},
        {"Ünïcödé ŁÓDŹ Добрый", "ünïcödé łódź добрый"},
        {"שלום עולם", "שלום עולם"},
        {"I ❤️ you 🙂", "i| you|"},
        {"?!... ---", ""},
        {"a\xff\xfe"
         "b c\xc3",
         "a| b c|"},
        {std::string("nul\0byte", 8).c_str(), "nul"},  // the C string ends at the NUL
        {"x<yz and a>b", "x b"},                       // read as a tag: markup is never a word
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texts(splitWords(c.line, 16)), c.words) << c.line;
    }
    EXPECT_EQ(texts(splitWords(std::string("nul\0byte", 8), 16)), "nul| byte");
    EXPECT_EQ(splitWords("one two three four", 2).size(), 2u);
    EXPECT_EQ(splitWords("Don’t", 1).front().surface, "Don’t");
}

TEST(WordsTest, UndoesContractionsAndPossessives) {
    for (const std::string c :
         {"don't=do not", "won't=will not", "can't=can not", "we'll=we will", "i'd=i would",
          "they're=they be", "i've=i have", "i'm=i be", "it's=it be", "tom's=tom",
          "children's=children", "students'=students", "goin'=going", "'em=them", "let's=let us",
          "'look=look", "o'clock=o'clock", "'="}) {
        std::string parts;
        for (const auto& part : expandContraction(c.substr(0, c.find('='))))
            parts += (parts.empty() ? "" : " ") + part.word;
        EXPECT_EQ(parts, c.substr(c.find('=') + 1)) << c;
    }
    // The verb before "n't" and the word a contraction adds are verbs.
    const auto dont = expandContraction("don't");
    EXPECT_EQ(dont[0].partsOfSpeech, unsigned{kVerb});
    EXPECT_EQ(dont[1].partsOfSpeech, unsigned{kAdverb});
}

TEST(MorphologyTest, FindsBaseFormsThroughExceptionsAndRules) {
    Morphology morphology;
    morphology.addExceptions(kVerb, "went go\nran run\nrunning run\nwas be\nbeen be\n");
    morphology.addExceptions(kNoun, "children child\nmice mouse\ngeese goose\n");
    morphology.addExceptions(kAdjective, "better good well\nbigger big\n");
    morphology.addExceptions(kAdverb, "better well\n");
    morphology.addExceptions(kNoun, "no_base\nphrases_out phrase_out\n");
    // "word>base:the parts of speech (noun, verb, adjective, adverb) the base is reached in".
    for (const std::string c :
         {"went>go:v", "children>child:n", "better>good:a", "better>well:ar", "running>run:v",
          "studies>study:nv", "mice>mouse:n", "was>be:v", "boxes>box:nv", "churches>church:n",
          "women>woman:n", "watched>watch:v", "making>make:v", "taller>tall:a", "largest>large:a",
          "phrases out>phrase out:n"}) {
        const auto arrow = c.find('>'), colon = c.find(':');
        const auto forms = morphology.baseForms(c.substr(0, arrow));
        const auto found = std::find_if(forms.begin(), forms.end(), [&](const BaseForm& f) {
            return f.word == c.substr(arrow + 1, colon - arrow - 1);
        });
        ASSERT_NE(found, forms.end()) << c;
        std::string reached;
        for (int i = 0; i < 4; ++i) {
            const unsigned pos[] = {kNoun, kVerb, kAdjective, kAdverb};
            if ((found->partsOfSpeech & pos[i]) && c.find("nvar"[i], colon) != std::string::npos)
                reached += "nvar"[i];
        }
        EXPECT_EQ(reached, c.substr(colon + 1)) << c;
    }
    // Exceptions come before the rules' guesses; nouns in "-ss" and short words keep their "s".
    EXPECT_EQ(morphology.baseForms("went").front().word, "go");
    for (const char* word : {"glass", "us", "is"}) {
        for (const auto& form : morphology.baseForms(word)) {
            EXPECT_FALSE(form.partsOfSpeech & kNoun) << word << " → " << form.word;
        }
    }
    EXPECT_TRUE(morphology.baseForms("his", false).empty());
    EXPECT_EQ(morphology.exceptionCount(), 12u);
}

TEST(NativeLanguagesTest, CoversEveryLanguageOfThePagesWithFreeDictsName) {
    std::ifstream file(LIRRA_LANGUAGES_JS);
    std::stringstream text;
    text << file.rdbuf();
    const std::string source = text.str();
    const std::regex entry(R"(\['([a-z]{3})', ')");
    std::size_t codes = 0;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), entry);
         it != std::sregex_iterator(); ++it, ++codes) {
        const std::string code = (*it)[1];
        const NativeLanguage* language = findNativeLanguage(code);
        ASSERT_NE(language, nullptr) << code;
        EXPECT_EQ(language->code, code);
        if (!language->package.empty()) {
            EXPECT_EQ(language->package, "dict-freedict-eng-" + std::string(language->freeDict));
        }
        EXPECT_NE(language->freeDict, "rom") << code << ": Romany is not a page language";
    }
    EXPECT_EQ(codes, nativeLanguages().size());
    // FreeDict names Romanian "ron" ("rom" is Romany), and French "fra".
    EXPECT_EQ(findNativeLanguage("rum")->freeDict, "ron");
    EXPECT_EQ(findNativeLanguage("fre")->package, "dict-freedict-eng-fra");
    // The setup installs every package of the table.
    std::ifstream listFile(LIRRA_DEBIAN_PACKAGES);
    std::set<std::string> listed;
    for (std::string line; std::getline(listFile, line);) listed.insert(line);
    for (const auto& language : nativeLanguages()) {
        if (language.package.empty()) continue;
        EXPECT_TRUE(listed.count(std::string(language.package))) << language.package;
    }
    EXPECT_TRUE(listed.count("dict-wn") && listed.count("wordnet-base"));
    EXPECT_EQ(findNativeLanguage("deu")->code, "ger");  // FreeDict's name works too
    EXPECT_EQ(findNativeLanguage("rom"), nullptr);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
