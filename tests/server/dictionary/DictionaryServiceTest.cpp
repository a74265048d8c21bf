// The look-up service over dictionaries the test makes in WordNet's and FreeDict's layouts:
// what a click is recognised as, the answer's shape and limits, the translation status per
// language, and bad input.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "DictdFiles.h"
#include "DictionaryService.h"

namespace lirra::server::dictionary::test {
namespace {

using nlohmann::json;

// A WordNet article: its senses of each part of speech, `count` of `bytes` each.
std::string senses(const std::string& word, int count, std::size_t bytes) {
    std::string text = word + "\n";
    for (const char* pos : {"n", "v", "adj", "adv"}) {
        for (int i = 1; i <= count; ++i) {
            text += "    " + (i == 1 ? std::string(pos) + " " : "") + std::to_string(i) + ": " +
                    std::string(bytes, 'x') + "\n";
        }
    }
    return text;
}

class DictionaryServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string huge = senses("huge", 10, 600);
        std::string lots = "lots\n    n 1: " + std::string(600, 'l') + "\n";
        for (int i = 2; i <= 10; ++i) lots += "    " + std::to_string(i) + ": more\n";
        writeDictionary(folder_, "dictd", "wn",
                        {{"00-database-allchars", "\n"},
                         {"00-database-short", "00-database-short\n     Test WordNet\n"},
                         {"go",
                          "go\n    v 1: move; \"go home\" [syn: {go}, {travel}]\n"
                          "    2: leave\n    n 1: a board game\n"},
                         {"give up", "give up\n    v 1: stop trying\n"},
                         {"give up the ghost", "give up the ghost\n    v 1: die\n"},
                         {"child", "child\n    n 1: a young person\n"},
                         {"good",
                          "good\n    adj 1: having desirable\n      qualities\n"
                          "    n 1: benefit\n"},
                         {"well", "well\n    adv 1: in a good manner\n    n 1: a hole for water\n"},
                         {"far", "far\n    adv 1: at a great distance\n"},
                         {"may",
                          "May\n    n 1: the month [syn: {May}]\n"
                          "    2: a shrub [syn: {hawthorn}, {may}]\n"},
                         {"o'clock", "o'clock\n    adv 1: by the clock\n"},
                         {"run", "run\n    n 1: a score\n    v 1: move fast\n"},
                         {"lots", lots},
                         {"huge", huge},
                         {"huge", huge},
                         {"huge", huge}},
                        512);
        writeDictionary(folder_, "dictd", "freedict-eng-spa",
                        {{"00databaseshort", "Test English-Spanish\n"},
                         {"go", "go /gəʊ/\nir\n"},
                         {"go", "go /gəʊəweɪ/\nirse\n"},  // "go away" without its words
                         {"child", "child /tʃaɪld/\nniño\n"},
                         {"good", "good /gʊd/ <adj>\nbueno\n"},
                         {"give up", "give up\nrendirse\n"},
                         {"do", "do /duː/\nhacer\n"},
                         {"not", "not\nno\n"},
                         // In the dictionary's own order: a noun, an article filed under "run"
                         // for another word, then the verb's main entry with its inflections.
                         {"run", "run /rʌn/\ncarrera <fem>\n"},
                         {"run", "rum /rʌm/\nron <masc>\n"},
                         {"run", "run /rʌn/ (ran /ræn/, run /rʌn/) <v>\ncorrer <v, intr>\n"},
                         {"lots", "lots\n" + std::string(2000, 'y') + "\n"},
                         {"huge", "huge\n" + std::string(2000, 'y') + "\n"},
                         {"huge", "huge\n" + std::string(2000, 'z') + "\n"}});
        writeDictionary(folder_, "dictd", "freedict-eng-fra", {{"go", "go\naller\n"}});
        folder_.write("dictd/freedict-eng-fra.dict.dz", "damaged, and not gzip at all");
        writeDictionary(folder_, "mine", "eng-ukr", {{"go", "go\nйти\n"}}, 0);
        // WordNet's exception lists, one word in each that only it leads to its base form.
        std::filesystem::create_directories(folder_.file("wordnet"));
        for (const auto& [list, lines] :
             std::map<std::string, std::string>{{"verb.exc", "went go\nrunning run\n"},
                                                {"noun.exc", "children child\n"},
                                                {"adj.exc", "better good well\n"},
                                                {"adv.exc", "better well\nfarther far\n"}}) {
            folder_.write("wordnet/" + list, lines);
        }
        DictionaryOptions options;
        options.folders = {folder_.file("dictd"), folder_.file("mine")};
        options.morphologyFolder = folder_.file("wordnet");
        options.log = [this](const std::string& line) { log_.push_back(line); };
        service_ = std::make_unique<DictionaryService>(std::move(options));
    }

    json lookup(const std::string& text, const std::string& native, int status = 200) {
        const auto reply = service_->lookup(text, native);
        EXPECT_EQ(reply.status, status) << text;
        EXPECT_LE(reply.json.size(), DictionaryService::kMaxAnswerBytes) << text;
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
    return a["matched"].get<std::string>() + "/" + std::to_string(a["wordCount"].get<int>()) + " " +
           forms + " | " + entries + " | " + translations;
}

TEST_F(DictionaryServiceTest, RecognisesWordsAndPhrasesAndAnswersInTheirShape) {
    const std::pair<const char*, const char*> cases[] = {
        {"Went home.", "Went/1 go | go verb | ir"},
        {"children", "children/1 child | child noun | niño"},
        {"better", "better/1 good,well | good adjective,well adverb | bueno"},
        {"farther", "farther/1 far | far adverb | "},
        {"go", "go/1 go | go verb,go noun | ir"},
        {"give up on him", "give up/2 give up | give up verb | rendirse"},
        {"Give up the ghost!", "Give up the ghost/4 give up the ghost | give up the ghost verb | "},
        {"give, up", "give/1  |  | "},
        {"Don’t go", "Don’t/1 do,not |  | hacer,no"},
        {"o’clock.", "o’clock/1 o'clock | o'clock adverb | "},
        {"may", "may/1 may | may noun | "},
        {"running", "running/1 run | run verb | correr <v, intr>,carrera <fem>"},
        {"run", "run/1 run | run noun,run verb | correr <v, intr>,carrera <fem>"},
        {"xyzzy", "xyzzy/1  |  | "},
        {"?!...", "/0  |  | "},
    };
    for (const auto& [text, expected] : cases) {
        const json answer = lookup(text, "spa");
        EXPECT_EQ(answer["query"], text);
        EXPECT_EQ(summary(answer), expected) << text;
    }
    EXPECT_EQ(summary(lookup("go", "ukr")), "go/1 go | go verb,go noun | йти");
    // Pronunciation from the translation dictionary; glosses without WordNet's synonym lists.
    const json went = lookup("went", "spa");
    EXPECT_EQ(went["entries"][0]["pronunciation"], "/gəʊ/");
    EXPECT_EQ(went["entries"][0]["definitions"], json({"move; \"go home\"", "leave"}));
    EXPECT_EQ(went["translations"][0]["source"], "Test English-Spanish");
    EXPECT_EQ(lookup("good", "spa")["translations"][0]["partOfSpeech"], "adjective");
    EXPECT_EQ(lookup("good", "spa")["entries"][0]["definitions"][0], "having desirable qualities");
    // A name's senses only for a capitalised word.
    EXPECT_EQ(lookup("May", "spa")["entries"][0]["definitions"], json({"the month", "a shrub"}));
    EXPECT_EQ(lookup("may", "spa")["entries"][0]["definitions"], json({"a shrub"}));
}

TEST_F(DictionaryServiceTest, TellsWhetherATranslationCanBeHadAndListsItsSources) {
    const json sources = json::parse(service_->sources().json);
    std::map<std::string, std::string> listed;
    for (const auto& language : sources["languages"]) listed[language["code"]] = language["status"];
    // The learner's own dictionary for Ukrainian (Debian has none); French there, but damaged.
    for (const auto& [native, status, package] :
         std::vector<std::array<std::string, 3>>{{"spa", "ok", ""},
                                                 {"ukr", "ok", ""},
                                                 {"fre", "not-installed", "dict-freedict-eng-fra"},
                                                 {"ger", "not-installed", "dict-freedict-eng-deu"},
                                                 {"rum", "none-in-debian", ""},
                                                 {"kor", "none-in-debian", ""},
                                                 {"", "none-in-debian", ""},
                                                 {"<b>", "none-in-debian", ""}}) {
        const json answer = lookup("go", native);
        EXPECT_EQ(answer["translationStatus"].get<std::string>() + " " +
                      answer["package"].get<std::string>(),
                  status + " " + package)
            << native;
        EXPECT_EQ(listed.count(native) ? listed[native] : status, status) << native;
    }
    ASSERT_EQ(log_.size(), 1u);  // the damaged dictionary, once
    EXPECT_NE(log_.front().find("freedict-eng-fra"), std::string::npos);

    std::map<std::string, json> byId;
    for (const auto& item : sources["dictionaries"]) byId[item["id"]] = item;
    ASSERT_EQ(byId.size(), 4u);
    EXPECT_EQ(byId["wn"], json({{"id", "wn"},
                                {"name", "Test WordNet"},
                                {"role", "definitions"},
                                {"language", "eng"},
                                {"headwords", 12},
                                {"path", folder_.file("dictd/wn.index")},
                                {"status", "ok"}}));
    EXPECT_EQ(byId["freedict-eng-spa"]["role"].get<std::string>() + " " +
                  byId["freedict-eng-spa"]["language"].get<std::string>() + " " +
                  byId["eng-ukr"]["language"].get<std::string>() + " " +
                  byId["freedict-eng-fra"]["status"].get<std::string>(),
              "translations spa ukr skipped");
    EXPECT_EQ(byId["freedict-eng-spa"]["headwords"], 9);
    EXPECT_NE(byId["freedict-eng-fra"]["error"].get<std::string>().find("not a gzip file"),
              std::string::npos);
    EXPECT_EQ(sources["morphology"]["exceptions"], 6);
}

TEST_F(DictionaryServiceTest, KeepsAnswersWithinTheirLimits) {
    // Six definitions an entry, each of at most 400 bytes; a translation of at most 600.
    const json lots = lookup("lots", "spa");
    ASSERT_FALSE(lots["entries"].empty());
    ASSERT_EQ(lots["entries"][0]["definitions"].size(), 6u);
    EXPECT_EQ(lots["entries"][0]["definitions"][0], std::string(397, 'l') + "…");
    EXPECT_EQ(lots["translations"][0]["text"], std::string(597, 'y') + "…");
    // Eight entries at most, trimmed to fit 16 KiB (the lookup checks the size).
    const json huge = lookup("huge", "spa");
    EXPECT_EQ(huge["entries"].size(), DictionaryService::kMaxEntries);
    EXPECT_FALSE(huge["translations"].empty());

    // Bad input: 400 past 200 characters (not bytes) or with nothing to look up.
    std::string emoji;
    for (int i = 0; i < 200; ++i) emoji += "\xF0\x9F\x99\x82";
    for (const auto& [text, status] :
         std::vector<std::pair<std::string, int>>{{"", 400},
                                                  {" \t\n", 400},
                                                  {std::string(201, 'a'), 400},
                                                  {emoji, 200},
                                                  {emoji + "\xF0\x9F\x99\x82", 400},
                                                  {std::string("go\0home", 7), 200},
                                                  {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D go", 200}}) {
        const json answer = lookup(text, "spa", status);
        EXPECT_EQ(answer.contains("error"), status == 400) << text;
        EXPECT_EQ(answer.contains("entries"), status == 200) << text;
    }
    EXPECT_EQ(lookup("go\xC0\xAF\xFF", "spa")["query"], "go\uFFFD\uFFFD\uFFFD");  // still JSON
}

TEST_F(DictionaryServiceTest, AnswersTheSameFromManyThreads) {
    const std::vector<std::string> texts{"went", "children", "better", "huge", "give up on it"};
    std::vector<std::string> expected;
    for (const auto& text : texts) expected.push_back(service_->lookup(text, "spa").json);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const std::size_t k = static_cast<std::size_t>(i + t) % texts.size();
                mismatches += service_->lookup(texts[k], "spa").json != expected[k];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
