// The base forms of inflected words and phrases against WordNet's own command (`wn WORD -over`)
// over the Debian WordNet: the named cases, then forms made from WordNet's lemmas and exception
// lists with a fixed seed. Skipped without `wn` or WordNet's files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "Dictionary.h"
#include "Morphology.h"
#include "Shelf.h"

namespace lirra::server::dictionary::test {
namespace {

const char* const kPartNames[] = {"noun", "verb", "adj", "adv"};

// "noun hope,verb hope": the senses `wn` overviews, phrases with spaces.
std::string wnForms(const std::string& text) {
    std::string command = "wn '", out;
    for (const char c : text) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "' -over";
    std::set<std::string> forms;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string s(line);
            if (!s.starts_with("Overview of ")) continue;
            s = s.substr(12, s.find('\n') - 12);
            std::replace(s.begin(), s.end(), '_', ' ');
            forms.insert(s);
        }
        pclose(pipe);
    }
    for (const auto& form : forms) out += (out.empty() ? "" : ",") + form;
    return out;
}

// Lines' first fields of a WordNet file, its licence lines left out.
std::vector<std::string> firstFields(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ' ') continue;
        out.push_back(line.substr(0, line.find(' ')));
        std::replace(out.back().begin(), out.back().end(), '_', ' ');
    }
    return out;
}

TEST(WordNetForms, AgreeWithWordNetsOwnCommand) {
    const std::string wordnet = "/usr/share/wordnet/", dictd = "/usr/share/dictd/wn.";
    if (std::system("command -v wn >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "WordNet's command `wn` is missing (Debian package wordnet)";
    std::string missing, error;
    const Morphology morphology = Morphology::load(wordnet, missing);
    auto book = Dictionary::open(dictd + "index", dictd + "dict.dz", error);
    if (!missing.empty() || !book) GTEST_SKIP() << "no Debian WordNet: " << missing << error;
    Shelf shelf;
    shelf.definitions.push_back({std::move(book), "wn", true});
    const Lexicon lexicon = [&](const std::string& w, PartOfSpeech pos) {
        return (shelf.wordNetParts(w) & pos) != 0;
    };
    auto ours = [&](const std::string& text) {
        std::set<std::string> forms;
        std::vector<BaseForm> all{{text, shelf.wordNetParts(text)}};
        for (auto& base : morphology.baseForms(text, lexicon)) all.push_back(base);
        for (const auto& form : all) {
            for (int i = 0; i < 4; ++i) {
                if (form.partsOfSpeech & (1u << i)) forms.insert(kPartNames[i] + (" " + form.word));
            }
        }
        std::string out;
        for (const auto& form : forms) out += (out.empty() ? "" : ",") + form;
        return out;
    };
    // One base per part of speech where WordNet stops ("hoped" is not "hop", "dying" not "dye"),
    // the exception list before the rules ("acer"), a phrase by its verb or word by word.
    std::vector<std::string> texts;
    std::stringstream named(
        "hoped,hoping,dying,giving up,u.s.,were,axes,better,spoonsful,acer,men,glasses,was,saw,"
        "looked up,picked up,ran into,ice creams,mothers-in-law,kicked the bucket,allowed for,"
        "looked up to,studies,ladies");
    for (std::string text; std::getline(named, text, ',');) texts.push_back(text);
    std::mt19937 random(32);
    auto pick = [&](const std::vector<std::string>& list) { return list[random() % list.size()]; };
    std::vector<std::vector<std::string>> lemmas, lists;
    for (const char* part : kPartNames) {
        lemmas.push_back(firstFields(wordnet + "index." + part));
        lists.push_back(firstFields(wordnet + part + ".exc"));
    }
    const std::vector<std::vector<std::string>> endings{
        {"s", "es", "ies", "ful", "men"},
        {"s", "es", "ed", "d", "ing", "ies", "ping"},
        {"er", "est", "r", "st", "ier"}};
    for (int i = 0; i < 240; ++i) {
        const int part = i % 3;
        std::string lemma = pick(lemmas[part]), ending = pick(endings[part]);
        if (ending.starts_with("i") && lemma.ends_with("y")) lemma.pop_back();
        // A verb's phrase inflects its first word ("looking up"), any other its last.
        const auto space = part == 1 ? lemma.find(' ') : std::string::npos;
        texts.push_back(space == std::string::npos ? lemma + ending : lemma.insert(space, ending));
        if (i % 4 == 0) texts.push_back(pick(lists[i / 4 % 4]));
    }
    std::size_t agree = 0;
    for (const auto& text : texts) {
        const std::string expected = wnForms(text), got = ours(text);
        agree += got == expected;
        EXPECT_EQ(got, expected) << text;
    }
    std::printf("%zu of %zu words and phrases agree with wn\n", agree, texts.size());
}

}  // namespace
}  // namespace lirra::server::dictionary::test
