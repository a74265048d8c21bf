// SPDX-License-Identifier: GPL-3.0-or-later
// The dictionary routes of a real server over the Debian dictionaries (dict-wn, wordnet-base,
// dict-freedict-eng-*) and one in the data folder; the base forms against WordNet's own `wn`.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "DictdFiles.h"
#include "Dictionary.h"
#include "Morphology.h"
#include "Shelf.h"
#include "lirra/server/Server.h"

namespace lirra::server::dictionary::test {
namespace {

using nlohmann::json;

TEST(DictionaryApi, LooksUpWordsInTheDebianDictionariesAndListsThem) {
    for (const char* file : {"dictd/wn.index", "dictd/freedict-eng-spa.index",
                             "dictd/freedict-eng-deu.index", "wordnet/verb.exc"})
        if (access((std::string("/usr/share/") + file).c_str(), R_OK) != 0)
            GTEST_SKIP() << "the Debian dictionaries are not installed (" << file << ")";
    const MediaFolder data;
    writeDictionary(data, "dictionaries", "eng-ukr", {{"go", "go\nйти, ходити\n"}});
    ServerOptions options;
    options.dataDirectory = data.path();
    Server server(options);
    ASSERT_EQ(server.start(), "");
    auto get = [&](const std::string& path, const httplib::Params& params, int status = 200) {
        auto res = httplib::Client("127.0.0.1", server.port()).Get(path, params, {});
        EXPECT_TRUE(res && res->status == status) << path;
        if (!res || status == 414) return json();
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/json; charset=utf-8");
        EXPECT_LE(res->body.size(), 16u * 1024u);
        return json::parse(res->body);
    };
    auto lookup = [&](const std::string& text, const std::string& native) {
        return get("/api/dictionary/lookup", {{"text", text}, {"native", native}});
    };
    // "NATIVE TEXT=matched/words forms: first entry | the translations' headwords" in WordNet 3.0
    // and FreeDict: the exception lists, one base per part of speech where WordNet stops
    // ("hoped" is not "hop"), a phrase's verb, an idiom, hyphenated words, headwords with their
    // apostrophes and periods ("U.S." is not "us", "were" not "we're").
    for (const std::string c :
         {"spa Went.=Went/1 go: go verb | go",
          "spa Looked up the number=Looked up/2 look up: look up verb | ",
          "spa raining cats and dogs!=raining cats and dogs/4 rain cats and dogs: rain cats and "
          "dogs verb | ",
          "spa mother-in-law=mother-in-law/1 mother-in-law: mother-in-law noun | ",
          "ger hoped=hoped/1 hope,hoped: hope verb | hope,hoped",
          "ger dying=dying/1 die,dying: die verb | die,dying",
          "ger giving up=giving up/2 give up,giving up: give up verb | give up,giving up",
          "spa U.S.=U.S./1 u.s.: U.S. noun | ", "ger were=were/1 be,were: be verb | be,were",
          "ger weren't=weren't/1 be,were,not: be verb | be,not,were",
          "ger we're=we're/1 we,be: be verb | be,we"}) {
        const json a = lookup(c.substr(4, c.find('=') - 4), c.substr(0, 3));
        std::set<std::string> headwords;
        for (const auto& t : a["translations"]) headwords.insert(t["headword"]);
        std::string forms, translations;
        for (const std::string f : a["forms"]) forms += (forms.empty() ? "" : ",") + f;
        for (const auto& h : headwords) translations += (translations.empty() ? "" : ",") + h;
        ASSERT_FALSE(a["entries"].empty()) << c;
        const json& e = a["entries"][0];
        EXPECT_EQ(a["matched"].get<std::string>() + "/" + a["wordCount"].dump() + " " + forms +
                      ": " + e["headword"].get<std::string>() + " " +
                      e["partOfSpeech"].get<std::string>() + " | " + translations,
                  c.substr(c.find('=') + 1));
        EXPECT_EQ(e["source"], "WordNet (r) 3.0 (2006)") << c;
    }
    // Translations and a pronunciation from FreeDict; the learner's own dictionary for a
    // language Debian has none of.
    const json run = lookup("running", "ger");
    EXPECT_EQ(run["translations"][0]["headword"], "run");
    EXPECT_NE(run["translations"][0]["source"].get<std::string>().find("German"),
              std::string::npos);
    EXPECT_EQ(run["entries"][0]["pronunciation"].get<std::string>().substr(0, 1), "/");
    EXPECT_EQ(lookup("go", "ukr")["translations"][0]["text"], "йти, ходити");
    // FreeDict's English-Spanish phrase entries that lost their words do not translate "be".
    for (const auto& translation : lookup("be", "spa")["translations"])
        EXPECT_NE(translation["text"], "poder");

    get("/api/dictionary/lookup", {{"native", "spa"}}, 400);
    get("/api/dictionary/lookup", {{"text", std::string(201, 'a')}}, 400);
    get("/api/dictionary/lookup", {{"text", std::string(10240, 'a')}}, 414);  // the request line
    const json sources = get("/api/dictionary/sources", {});
    std::map<std::string, json> byId;
    for (const auto& item : sources["dictionaries"]) byId[item["id"]] = item;
    EXPECT_EQ(byId["wn"]["role"], "definitions");
    EXPECT_GT(byId["wn"]["headwords"].get<int>(), 140000);
    EXPECT_GT(byId["freedict-eng-deu"]["headwords"].get<int>(), 300000);
    EXPECT_EQ(byId["eng-ukr"]["path"], data.file("dictionaries/eng-ukr.index"));
    EXPECT_GT(sources["morphology"]["exceptions"].get<int>(), 5000);
}

// `wn WORD -over` names the senses of the word and of the base forms WordNet's morphology gives:
// the named cases, then forms made from WordNet's lemmas and exception lists with a fixed seed.
TEST(DictionaryApi, FindsTheBaseFormsWordNetsOwnCommandFinds) {
    const std::string wordnet = "/usr/share/wordnet/", dictd = "/usr/share/dictd/wn.";
    const char* const parts[] = {"noun", "verb", "adj", "adv"};
    std::string missing, error;
    const Morphology morphology = Morphology::load(wordnet, missing);
    Shelf shelf;
    shelf.definitions.push_back(
        {Dictionary::open(dictd + "index", dictd + "dict.dz", error), "wn", true});
    if (std::system("command -v wn >/dev/null") != 0 || !missing.empty() ||
        !shelf.definitions[0].dictionary)
        GTEST_SKIP() << "WordNet's command `wn` (Debian package wordnet) or its data is missing "
                     << missing << error;
    const Lexicon lexicon = [&](const std::string& w, PartOfSpeech pos) {
        return (shelf.wordNetParts(w) & pos) != 0;
    };
    // {"noun hope", "verb hope"}: by our morphology over the dictd WordNet, and by `wn`.
    auto ours = [&](const std::string& text) {
        std::set<std::string> forms;
        auto all = morphology.baseForms(text, lexicon);
        all.push_back({text, shelf.wordNetParts(text)});
        for (const auto& form : all)
            for (int i = 0; i < 4; ++i)
                if (form.partsOfSpeech >> i & 1) forms.insert(parts[i] + (" " + form.word));
        return forms;
    };
    auto theirs = [](const std::string& text) {
        std::set<std::string> forms;
        FILE* pipe = popen(("wn '" + text + "' -over").c_str(), "r");
        for (char line[512]; pipe && std::fgets(line, sizeof line, pipe);) {
            std::string s(line);
            std::replace(s.begin(), s.end(), '_', ' ');
            if (s.starts_with("Overview of ")) forms.insert(s.substr(12, s.size() - 13));
        }
        if (pipe) pclose(pipe);
        return forms;
    };
    std::vector<std::string> texts;
    std::stringstream named(
        "hoped,hoping,dying,giving up,u.s.,were,axes,better,spoonsful,acer,men,glasses,was,saw,"
        "looked up,picked up,ran into,ice creams,mothers-in-law,kicked the bucket,allowed for,"
        "looked up to,studies,ladies,us,as");
    for (std::string text; std::getline(named, text, ',');) texts.push_back(text);
    // The first fields of index.noun…adv, then of noun.exc…adv.exc (the licence's are empty).
    std::vector<std::vector<std::string>> fields(8);
    for (int i = 0; i < 8; ++i) {
        std::ifstream in(wordnet + (i < 4 ? std::string("index.") + parts[i]
                                          : parts[i - 4] + std::string(".exc")));
        for (std::string line; std::getline(in, line);) {
            std::string field = line.substr(0, line.find(' '));
            std::replace(field.begin(), field.end(), '_', ' ');
            // wn tries a text with hyphens, spaces and periods swapped or dropped too.
            if (!field.empty() && field.find_first_of("'-.") == std::string::npos)
                fields[i].push_back(field);
        }
    }
    std::mt19937 random(32);
    auto pick = [&](const std::vector<std::string>& list) { return list[random() % list.size()]; };
    const std::vector<std::string> endings{"s",   "es",   "ies", "ful", "men", "ed", "d",
                                           "ing", "ping", "er",  "est", "r",   "st", "ier"};
    for (int i = 0; i < 240; ++i) {
        std::string lemma = pick(fields[i % 3]), ending = pick(endings);
        if (ending.starts_with("i") && lemma.ends_with("y")) lemma.pop_back();
        // A verb's phrase inflects its first word ("looking up"), any other its last.
        const auto space = i % 3 == 1 ? lemma.find(' ') : std::string::npos;
        texts.push_back(space == std::string::npos ? lemma + ending : lemma.insert(space, ending));
        if (i % 4 == 0) texts.push_back(pick(fields[4 + i / 4 % 4]));
    }
    ASSERT_EQ(texts.size(), 326u);
    for (const auto& text : texts) EXPECT_EQ(ours(text), theirs(text)) << text;
}

}  // namespace
}  // namespace lirra::server::dictionary::test
