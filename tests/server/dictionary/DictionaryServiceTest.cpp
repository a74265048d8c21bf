// SPDX-License-Identifier: GPL-3.0-or-later
// The look-up service over dictionaries made in WordNet's and FreeDict's layouts: what a click is
// recognised as, the answer's shape and limits, the translation status per language, bad input.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "DictdFiles.h"
#include "DictionaryCatalog.h"
#include "DictionaryService.h"

namespace lirra::server::dictionary::test {
namespace {

using nlohmann::json;

// A WordNet article: `count` senses of `bytes` each in every part of speech.
std::string senses(const std::string& word, int count, std::size_t bytes) {
    std::string text = word + "\n";
    for (const char* pos : {"n", "v", "adj", "adv"}) {
        for (int i = 1; i <= count; ++i)
            text += "    " + (i == 1 ? pos + std::string(" ") : "") + std::to_string(i) + ": " +
                    std::string(bytes, 'x') + "\n";
    }
    return text;
}

class DictionaryServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string huge = senses("huge", 10, 600), y(2000, 'y');
        writeDictionary(
            folder_, "dictd", "wn",
            keyed({"00-database-allchars=\n",
                   "00-database-short=00-database-short\n     Test WordNet\n",
                   "go=go\n    v 1: move; \"go home\" [syn: {go}, {travel}]\n    2: leave\n    n "
                   "1: a board game\n",
                   "give up=give up\n    v 1: stop trying\n",
                   "give up the ghost=give up the ghost\n    v 1: die\n",
                   "child=child\n    n 1: a young person\n",
                   "good=good\n    adj 1: having desirable\n      qualities\n    n 1: benefit\n",
                   "well=well\n    adv 1: in a good manner\n    n 1: a hole for water\n",
                   "far=far\n    adv 1: at a great distance\n",
                   "may=May\n    n 1: the month [syn: {May}]\n    2: a shrub [syn: {may}]\n",
                   "o'clock=o'clock\n    adv 1: by the clock\n",
                   "run=run\n    n 1: a score\n    v 1: move fast\n",
                   "lots=" + senses("lots", 10, 600), "huge=" + huge, "huge=" + huge,
                   "huge=" + huge}),
            512);
        // In the dictionary's own order under "run": a noun, an article filed there for another
        // word, then the verb's main entry with its inflections; "go away" without its words.
        writeDictionary(folder_, "dictd", "freedict-eng-spa",
                        keyed({"00databaseshort=Test English-Spanish\n", "go=go /gəʊ/\nir\n",
                               "go=go /gəʊəweɪ/\nirse\n", "child=child /tʃaɪld/\nniño\n",
                               "good=good /gʊd/ <adj>\nbueno\n", "give up=give up\nrendirse\n",
                               "do=do /duː/\nhacer\n", "not=not\nno\n",
                               "run=run /rʌn/\ncarrera <fem>\n", "run=rum /rʌm/\nron <masc>\n",
                               "run=run /rʌn/ (ran /ræn/, run /rʌn/) <v>\ncorrer <v, intr>\n",
                               "lots=lots\n" + y + "\n", "huge=huge\n" + y + "\n",
                               "huge=huge\n" + std::string(2000, 'z') + "\n"}));
        writeDictionary(folder_, "dictd", "freedict-eng-fra", {{"go", "go\naller\n"}});
        folder_.write("dictd/freedict-eng-fra.dict.dz", "damaged, and not gzip at all");
        folder_.write("dictd/lonely.index", "a\tA\tB\n");  // no data beside it
        writeDictionary(folder_, "mine", "eng-ukr", {{"go", "go\nйти\n"}}, 0);
        // WordNet's exception lists, one word in each that only it leads to its base form.
        std::filesystem::create_directories(folder_.file("wordnet"));
        folder_.write("wordnet/verb.exc", "went go\nrunning run\n");
        folder_.write("wordnet/noun.exc", "children child\n");
        folder_.write("wordnet/adj.exc", "better good well\n");
        folder_.write("wordnet/adv.exc", "better well\nfarther far\n");
        service_ = std::make_unique<DictionaryService>(
            DictionaryOptions{{folder_.file("dictd"), folder_.file("none"), std::string(5000, 'x'),
                               folder_.file("mine")},
                              folder_.file("wordnet"),
                              [this](const std::string& line) { log_.push_back(line); }});
    }

    json lookup(const std::string& text, const std::string& native, int status = 200) {
        const auto reply = service_->lookup(text, native);
        EXPECT_EQ(reply.status, status) << text;
        EXPECT_LE(reply.json.size(), 16u * 1024) << text;
        return json::parse(reply.json);
    }

    MediaFolder folder_;
    std::vector<std::string> log_;
    std::unique_ptr<DictionaryService> service_;
};

// An answer in one line: "matched/words forms | entries (headword partOfSpeech) | translations".
std::string summary(const json& a) {
    std::string forms, entries, translations;
    for (const auto& f : a["forms"]) forms += (forms.empty() ? "" : ",") + f.get<std::string>();
    for (const auto& e : a["entries"]) {
        entries += (entries.empty() ? "" : ",") + e["headword"].get<std::string>() + " " +
                   e["partOfSpeech"].get<std::string>();
        EXPECT_FALSE(e["definitions"].empty());
        EXPECT_EQ(e["source"], "Test WordNet");
    }
    for (const auto& t : a["translations"])
        translations += (translations.empty() ? "" : ",") + t["text"].get<std::string>();
    return a["matched"].get<std::string>() + "/" + a["wordCount"].dump() + " " + forms + " | " +
           entries + " | " + translations;
}

TEST_F(DictionaryServiceTest, RecognisesWordsAndPhrasesAndAnswersInTheirShapeWithinTheirLimits) {
    // "TEXT=its summary"
    for (const std::string c :
         {"Went home.=Went/1 go | go verb | ir", "children=children/1 child | child noun | niño",
          "better=better/1 good,well | good adjective,well adverb | bueno",
          "farther=farther/1 far | far adverb | ", "go=go/1 go | go verb,go noun | ir",
          "give up on him=give up/2 give up | give up verb | rendirse",
          "Give up the ghost!=Give up the ghost/4 give up the ghost | give up the ghost verb | ",
          "give, up=give/1  |  | ", "Don’t go=Don’t/1 do,not |  | hacer,no",
          "o’clock.=o’clock/1 o'clock | o'clock adverb | ", "may=may/1 may | may noun | ",
          "running=running/1 run | run verb | correr <v, intr>,carrera <fem>",
          "run=run/1 run | run noun,run verb | correr <v, intr>,carrera <fem>",
          "xyzzy=xyzzy/1  |  | ", "?!...=/0  |  | "}) {
        const std::string text = c.substr(0, c.find('='));
        const json answer = lookup(text, "spa");
        EXPECT_EQ(answer["query"], text);
        EXPECT_EQ(summary(answer), c.substr(c.find('=') + 1)) << text;
    }
    // The whole answer: the pronunciation from the translation dictionary, glosses without
    // WordNet's synonym lists and on one line.
    EXPECT_EQ(lookup("Went", "spa"), json::parse(R"({"query": "Went", "matched": "Went",
        "wordCount": 1, "forms": ["go"], "entries": [{"headword": "go", "partOfSpeech": "verb",
        "pronunciation": "/gəʊ/", "definitions": ["move; \"go home\"", "leave"],
        "source": "Test WordNet"}], "translations": [{"headword": "go", "partOfSpeech": "",
        "text": "ir", "source": "Test English-Spanish"}], "translationStatus": "ok",
        "package": ""})"));
    EXPECT_EQ(lookup("good", "spa")["translations"][0]["partOfSpeech"], "adjective");
    // No dictionary says how it sounds: the speech engine's British IPA.
    EXPECT_EQ(lookup("far", "spa")["entries"][0]["pronunciation"], "/fˈɑː/");
    EXPECT_EQ(lookup("good", "spa")["entries"][0]["definitions"][0], "having desirable qualities");
    // A name's senses only for a capitalised word.
    EXPECT_EQ(lookup("May", "spa")["entries"][0]["definitions"], json({"the month", "a shrub"}));
    EXPECT_EQ(lookup("may", "spa")["entries"][0]["definitions"], json({"a shrub"}));

    // Six definitions an entry, each of at most 400 bytes; a translation of at most 600.
    const json lots = lookup("lots", "spa");
    ASSERT_FALSE(lots["entries"].empty());
    EXPECT_EQ(lots["entries"][0]["definitions"],
              json(std::vector<std::string>(6, std::string(397, 'x') + "…")));
    EXPECT_EQ(lots["translations"][0]["text"], std::string(597, 'y') + "…");
    // Eight entries at most, trimmed to fit 16 KiB (the lookup checks the size).
    const json huge = lookup("huge", "spa");
    EXPECT_EQ(huge["entries"].size(), 8u);
    EXPECT_FALSE(huge["translations"].empty());

    // Bad input: 400 past 200 characters (not bytes) or with nothing to look up.
    std::string emoji;
    for (int i = 0; i < 200; ++i) emoji += "\xF0\x9F\x99\x82";
    for (const std::string& text :
         {std::string(), std::string(" \t\n"), std::string(201, 'a'), emoji + "\xF0\x9F\x99\x82"})
        EXPECT_TRUE(lookup(text, "spa", 400).contains("error")) << text;
    for (const std::string& text : {emoji, std::string("go\0home", 7), std::string("\xD7\xA9 go")})
        EXPECT_TRUE(lookup(text, "spa").contains("entries")) << text;
    EXPECT_EQ(lookup("go\xC0\xAF\xFF", "spa")["query"], "go\uFFFD\uFFFD\uFFFD");  // still JSON
}

TEST_F(DictionaryServiceTest, TellsWhetherATranslationCanBeHadAndListsItsSources) {
    const json sources = json::parse(service_->sources().json);
    std::map<std::string, std::string> listed;
    for (const auto& language : sources["languages"]) listed[language["code"]] = language["status"];
    // "NATIVE=status package": the learner's own dictionary for Ukrainian (Debian has none);
    // French there, but damaged.
    for (const std::string c : {"spa=ok ", "ukr=ok ", "fre=not-installed dict-freedict-eng-fra",
                                "ger=not-installed dict-freedict-eng-deu", "rum=none-in-debian ",
                                "kor=none-in-debian ", "=none-in-debian ", "<b>=none-in-debian "}) {
        const std::string native = c.substr(0, c.find('=')), expected = c.substr(c.find('=') + 1);
        const json answer = lookup("go", native);
        EXPECT_EQ(answer["translationStatus"].get<std::string>() + " " +
                      answer["package"].get<std::string>(),
                  expected);
        const std::string status = expected.substr(0, expected.find(' '));
        EXPECT_EQ(listed.count(native) ? listed[native] : status, status) << native;
    }
    // What the catalog cannot use, one line each: the index without data and the folder's name
    // too long at once, the damaged dictionary when first opened (a missing folder is no news).
    ASSERT_EQ(log_.size(), 3u);
    EXPECT_NE(log_[0].find("lonely"), std::string::npos);
    EXPECT_NE(log_[2].find("freedict-eng-fra"), std::string::npos);

    // "id role language headwords status name" each, in the folders' order.
    std::string dictionaries;
    for (const auto& d : sources["dictionaries"])
        dictionaries += d["id"].get<std::string>() + " " + d["role"].get<std::string>() + " " +
                        d["language"].get<std::string>() + " " + d["headwords"].dump() + " " +
                        d["status"].get<std::string>() + " " + d["name"].get<std::string>() + "|";
    EXPECT_EQ(dictionaries,
              "freedict-eng-fra translations fre 0 skipped freedict-eng-fra|freedict-eng-spa "
              "translations spa 9 ok Test English-Spanish|wn definitions eng 12 ok Test "
              "WordNet|eng-ukr translations ukr 1 ok eng-ukr|");
    EXPECT_EQ(sources["dictionaries"][2]["path"], folder_.file("dictd/wn.index"));
    EXPECT_EQ(sources["morphology"]["exceptions"], 6);
}

TEST_F(DictionaryServiceTest, ClosesDictionariesUnusedForAWhileAndOpensThemAgainWhenAsked) {
    using Clock = std::chrono::steady_clock;
    DictionaryCatalog catalog({folder_.file("dictd")},
                              [this](auto& line) { log_.push_back(line); });
    const auto& files = catalog.files();  // freedict-eng-fra (damaged), freedict-eng-spa, wn
    ASSERT_EQ(files.size(), 3u);
    const std::size_t before = log_.size();
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_FALSE(catalog.isOpen(i)) << i;
    const auto held = catalog.open(2);
    catalog.open(0);
    const Clock::time_point used = Clock::now();
    // Not an hour: a use never recorded reads as the clock's start, the machine's boot.
    EXPECT_EQ(catalog.closeUnusedSince(used - std::chrono::seconds(1)), 0u);
    EXPECT_TRUE(catalog.isOpen(2));
    // Only what had opened is closed; a look-up still holding it reads on.
    EXPECT_EQ(catalog.closeUnusedSince(used + std::chrono::seconds(1)), 1u);
    EXPECT_FALSE(catalog.isOpen(2));
    EXPECT_FALSE(held->articles("go", 1).empty());
    const auto again = catalog.open(2);
    ASSERT_TRUE(again);
    EXPECT_NE(again, held);
    EXPECT_TRUE(catalog.isOpen(2));
    EXPECT_FALSE(catalog.open(0));
    EXPECT_EQ(log_.size(), before + 1);  // the damaged one said once

    // The service's own closer: the answers stay the same across a close.
    const std::string first = summary(lookup("went", "spa"));
    service_->closeWhenIdle(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(summary(lookup("went", "spa")), first);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
