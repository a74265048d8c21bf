// SPDX-License-Identifier: GPL-3.0-or-later
// The dictd reader: articles byte for byte from plain and dictzip data whatever the chunk size and
// header, every damaged file refused with a reason; what a dictionary is for by its name.
#include <gtest/gtest.h>

#include "DictdFiles.h"
#include "Dictionary.h"
#include "DictionaryCatalog.h"
#include "TextFold.h"

namespace lirra::server::dictionary::test {
namespace {

// Articles long and short, so that with small chunks they start, end and span chunk edges.
std::vector<Article> sampleArticles() {
    std::vector<Article> articles{{"twice", "first article\n"}, {"twice", "second article\n"}};
    for (int i = 0; i < 40; ++i) {
        const std::string key = "word" + std::to_string(100 + i);
        articles.push_back({key, key + "\n"});
        for (int k = 0; k < i * 7 % 23 + 1; ++k) articles.back().text += "    sense\n";
    }
    return articles;
}

class DictReader : public ::testing::Test {
  protected:
    std::unique_ptr<Dictionary> open(const std::string& index, const std::string& data,
                                     bool compressed, std::string& error) {
        folder_.write("d.index", index);
        folder_.write(compressed ? "d.dict.dz" : "d.dict", data);
        return Dictionary::open(folder_.file("d.index"),
                                folder_.file(compressed ? "d.dict.dz" : "d.dict"), error);
    }

    MediaFolder folder_;
};

TEST_F(DictReader, ReadsEveryArticleFromPlainAndDictzipDataAndRefusesDamagedFilesWithAReason) {
    const auto articles = sampleArticles();
    const DictdFiles good = buildDictd(articles);
    const std::pair<unsigned, const char*> layouts[] = {{0, ""},   {1, ""},     {37, ""},
                                                        {512, ""}, {65535, ""}, {256, "d.dict"}};
    for (const auto& [chunk, name] : layouts) {
        SCOPED_TRACE("chunk length " + std::to_string(chunk) + " " + name);
        std::string error;
        const auto dictionary = open(
            good.index, chunk ? dictzip(good.data, chunk, name) : good.data, chunk != 0, error);
        ASSERT_TRUE(dictionary) << error;
        EXPECT_EQ(dictionary->headwordCount(), 41u);
        for (std::size_t i = 2; i < articles.size(); ++i) {
            EXPECT_EQ(dictionary->articles(articles[i].key, 4),
                      std::vector<std::string>{articles[i].text});
        }
        EXPECT_EQ(dictionary->articles("twice", 4),
                  (std::vector<std::string>{"first article\n", "second article\n"}));
        EXPECT_EQ(dictionary->articles("twice", 1).size(), 1u);
        EXPECT_TRUE(dictionary->articles("word99", 4).empty() &&
                    dictionary->articles("", 4).empty());
    }

    const std::string dz = dictzip(good.data, 256);
    std::string corruptHeader = dz, plainGzip = dz, wrongSize = dz;
    corruptHeader[16] = 7;  // the RA field's chunk count no longer matches its length
    plainGzip[3] = 0;       // no FEXTRA: an ordinary gzip file
    wrongSize[wrongSize.size() - 4] ^= 0x40;  // the trailer's size disagrees with the chunks
    const std::string end = "zz\t" + indexNumber(good.data.size()),
                      after = "zz\t" + indexNumber(good.data.size() + 1);
    const struct {
        std::string index, data;
        bool compressed;
        const char* reason;  // empty: any
    } cases[] = {
        {good.index + end + "\tB\n", good.data, false, "points past the end"},    // a byte past
        {good.index + after + "\tA\n", good.data, false, "points past the end"},  // empty, after
        {"b\tA\tB\na\tA\tB\n", good.data, false, "not sorted"},
        {"a\tA\n", good.data, false, "is not"},  // no length
        {"a\tA\tB!\n", good.data, false, "is not"},
        {"a\tA\tBBBBBBBBBBB\n", good.data, false, "is not"},  // eleven digits
        {"", good.data, false, "empty"},
        {good.index, dz.substr(0, dz.size() - 40), true, "truncated"},
        {good.index, dz.substr(0, 30), true, ""},  // cut in its header
        {good.index, plainGzip, true, "without a dictzip chunk table"},
        {good.index, corruptHeader, true, "malformed"},
        {good.index, wrongSize, true, "size"},
        {good.index, good.data, true, "not a gzip file"},
    };
    for (const auto& c : cases) {
        std::string error;
        SCOPED_TRACE(&c - cases);
        EXPECT_FALSE(open(c.index, c.data, c.compressed, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST_F(DictReader, SpellsKeysAsEachIndexWasBuilt) {
    // WordNet keeps every character ("00-database-allchars"); FreeDict letters, digits, spaces.
    const DictdFiles allChars = buildDictd({{"00-database-allchars", "\n"}, {"x", "x\n"}});
    const DictdFiles alnum = buildDictd({{"x", "x\n"}});
    std::string error;
    const auto wordNetLike = open(allChars.index, allChars.data, false, error);
    const auto freeDictLike = open(alnum.index, alnum.data, false, error);
    ASSERT_TRUE(wordNetLike && freeDictLike) << error;
    // "TEXT|as WordNet keys it|as FreeDict does|as a headword is matched".
    for (const std::string c :
         {"Mother-in-law|mother-in-law|motherinlaw|motherinlaw",
          "  look   UP |look up|look up|look up", "O’Clock|o’clock|oclock|o'clock",
          "U.S.|u.s.|us|u.s", "'em we're.|'em we're.|em were|em we're",
          "CAFÉ au lait!|café au lait!|café au lait|café au lait",
          "ÀÉÎÕÜ ŁŚŻ ΣΩ ДЖЁЂ|àéîõü łśż σω джёђ|àéîõü łśż σω джёђ|àéîõü łśż σω джёђ", "?!|?!||"}) {
        const std::string text = c.substr(0, c.find('|'));
        EXPECT_EQ(wordNetLike->key(text) + "|" + freeDictLike->key(text) + "|" + headwordKey(text),
                  c.substr(c.find('|') + 1));
    }
}

TEST(DictionaryCatalogTest, TellsWhatADictionaryIsForByItsName) {
    // "id=role language"; "rom" is Romany.
    const char* roles[] = {"definitions", "translations", "into-english"};
    for (const std::string c :
         {"wn=definitions ", "gcide=definitions ", "freedict-eng-spa=translations spa",
          "eng-ukr=translations ukr", "freedict-eng-rom=translations rom",
          "FreeDict-ENG-Deu=translations deu", "freedict-deu-eng=into-english deu",
          "eng-eng=definitions ", "lexeng-spa=definitions ", "freedict-eng-sp=definitions "}) {
        std::string language;
        const auto role = roleFromName(c.substr(0, c.find('=')), language);
        EXPECT_EQ(roles[static_cast<int>(role)] + (" " + language), c.substr(c.find('=') + 1));
    }
}

}  // namespace
}  // namespace lirra::server::dictionary::test
