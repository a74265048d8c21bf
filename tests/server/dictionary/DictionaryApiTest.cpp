// The dictionary routes of a real lirra server on loopback, reading the dictionaries Debian
// installs (dict-wn, wordnet-base, dict-freedict-eng-*) where Debian puts them, and one the
// learner put in the data folder. Skipped when the Debian dictionaries are not installed.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>

#include "DictdFiles.h"
#include "lirra/server/Server.h"

namespace lirra::server::dictionary::test {
namespace {

using nlohmann::json;

TEST(DictionaryApi, LooksUpWordsInTheDebianDictionariesAndListsThem) {
    for (const char* file : {"dictd/wn.index", "dictd/freedict-eng-spa.index",
                             "dictd/freedict-eng-deu.index", "wordnet/verb.exc"}) {
        if (access((std::string("/usr/share/") + file).c_str(), R_OK) != 0)
            GTEST_SKIP() << "the Debian dictionaries are not installed (" << file << ")";
    }
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
    // "TEXT=matched/words form: first entry" in WordNet 3.0 (its exception lists, phrases and
    // hyphenated words), translations there in Spanish.
    for (const std::string c :
         {"Went.=Went/1 go: go verb", "Looked up the number=Looked up/2 look up: look up verb",
          "raining cats and dogs!=raining cats and dogs/4 rain cats and dogs: rain cats and dogs "
          "verb",
          "mother-in-law=mother-in-law/1 mother-in-law: mother-in-law noun"}) {
        const std::string text = c.substr(0, c.find('='));
        const json a = lookup(text, "spa");
        ASSERT_FALSE(a["forms"].empty() || a["entries"].empty()) << text;
        const json& e = a["entries"][0];
        EXPECT_EQ(a["matched"].get<std::string>() + "/" + a["wordCount"].dump() + " " +
                      a["forms"][0].get<std::string>() + ": " + e["headword"].get<std::string>() +
                      " " + e["partOfSpeech"].get<std::string>(),
                  c.substr(c.find('=') + 1));
        EXPECT_EQ(e["source"], "WordNet (r) 3.0 (2006)") << text;
        EXPECT_EQ(a["translationStatus"], "ok") << text;
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
    EXPECT_EQ(byId["freedict-eng-deu"]["language"], "ger");
    EXPECT_GT(byId["freedict-eng-deu"]["headwords"].get<int>(), 300000);
    EXPECT_EQ(byId["eng-ukr"]["path"], data.file("dictionaries/eng-ukr.index"));
    EXPECT_GT(sources["morphology"]["exceptions"].get<int>(), 5000);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
