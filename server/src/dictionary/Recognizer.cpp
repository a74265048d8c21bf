// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recognizer.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "TextFold.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxForms = 4;
constexpr std::size_t kMaxHyphenParts = 4;

// Words WordNet has only as letters, symbols or abbreviations ("I" as iodine, "us" as the
// United States): their translations help, those senses do not.
bool isFunctionWord(std::string_view word) {
    static constexpr std::array<std::string_view, 26> kWords{
        "a",    "an",   "the",   "i",   "me",  "my",  "we",  "us", "our",
        "you",  "your", "he",    "him", "his", "she", "her", "it", "its",
        "they", "them", "their", "of",  "and", "or",  "to",  "am"};
    return std::find(kWords.begin(), kWords.end(), word) != kWords.end();
}

void addForm(std::vector<Form>& forms, const std::string& word, unsigned parts, bool names) {
    for (auto& form : forms) {
        if (form.word == word) {
            form.partsOfSpeech |= parts;
            form.names = form.names || names;
            return;
        }
    }
    if (forms.size() < kMaxForms) forms.push_back({word, parts, names});
}

bool capitalised(std::string_view word) {
    std::size_t i = 0;
    if (word.empty()) return false;
    const char32_t first = nextCodePoint(word, i);
    return lowerCodePoint(first) != first;
}

std::string joined(const std::vector<std::string>& parts, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        if (!out.empty()) out.push_back(' ');
        out += parts[i];
    }
    return out;
}

// Whether a lemma exists as `pos`: by WordNet's parts of speech where WordNet is there, else by
// any dictionary having it.
Lexicon lexiconOf(Shelf& shelf) {
    if (!shelf.hasWordNet())
        return [&shelf](const std::string& w, PartOfSpeech) { return shelf.knows(w); };
    return [&shelf](const std::string& w, PartOfSpeech pos) {
        return (shelf.wordNetParts(w) & pos) != 0;
    };
}

// Dictionary forms of one word without apostrophes, as `allowed` parts of speech: its lemmas,
// then the word itself.
void formsOfPart(const std::string& part, unsigned allowed, bool names,
                 const Morphology& morphology, const Lexicon& lexicon, Shelf& shelf,
                 std::vector<Form>& forms, bool splitHyphens = true) {
    if (part.empty()) return;
    // A function word's own senses and the rules' guesses ("his" → hi) are left out; its
    // irregular forms stay ("am" → be).
    const bool function = isFunctionWord(part);
    const std::size_t before = forms.size();
    for (const auto& base : morphology.baseForms(part, lexicon, !function)) {
        if (isFunctionWord(base.word) || !(base.partsOfSpeech & allowed)) continue;
        addForm(forms, base.word, base.partsOfSpeech & allowed, false);
    }
    if (shelf.knows(part)) addForm(forms, part, function ? 0u : allowed, names);
    if (forms.size() > before || !splitHyphens || part.find('-') == std::string::npos) return;
    // "mother-in-law" is a headword; "self-driving" is two words.
    std::string spaced = part;
    std::replace(spaced.begin(), spaced.end(), '-', ' ');
    if (shelf.knows(spaced)) {
        addForm(forms, spaced, kAnyPartOfSpeech, false);
        return;
    }
    std::size_t pieces = 0;
    for (std::size_t start = 0; start < part.size() && pieces < kMaxHyphenParts; ++pieces) {
        auto end = part.find('-', start);
        if (end == std::string::npos) end = part.size();
        formsOfPart(part.substr(start, end - start), kAnyPartOfSpeech, false, morphology, lexicon,
                    shelf, forms, false);
        start = end + 1;
    }
}

std::vector<WordPart> partsOf(const Word& word, Shelf& shelf) {
    if (word.text.find('\'') == std::string::npos) return {{word.text, kAnyPartOfSpeech}};
    // Headwords with an apostrophe ("o'clock", "ma'am") in indexes that keep it.
    const std::string inner = withoutQuotes(word.text);
    if (inner.find('\'') != std::string::npos) {
        for (const auto& book : shelf.definitions) {
            if (book.dictionary->keepsAllCharacters() && book.dictionary->contains(inner))
                return {{inner, kAnyPartOfSpeech}};
        }
    }
    return expandContraction(word.text);
}

// A phrase's dictionary forms: its bases by WordNet's morphology ("giving up" → give up), then
// the phrase itself; failing both, an idiom the rules miss through its first word's base
// ("raining cats and dogs" → rain cats and dogs).
std::vector<Form> phraseForms(const std::vector<std::string>& parts, const Morphology& morphology,
                              const Lexicon& lexicon, Shelf& shelf) {
    const std::string phrase = joined(parts, 0, parts.size());
    std::vector<Form> forms;
    for (const auto& base : morphology.baseForms(phrase, lexicon))
        addForm(forms, base.word, base.partsOfSpeech, false);
    if (shelf.knows(phrase)) {
        const unsigned senses = shelf.hasWordNet() ? shelf.wordNetParts(phrase) : 0;
        addForm(forms, phrase, senses ? senses : kAnyPartOfSpeech, false);
    }
    if (!forms.empty()) return forms;
    const std::string rest = joined(parts, 1, parts.size());
    for (const auto& base : morphology.baseForms(parts.front(), lexicon)) {
        if (!shelf.knows(base.word + " " + rest)) continue;
        addForm(forms, base.word + " " + rest, kAnyPartOfSpeech, false);
        break;
    }
    return forms;
}

}  // namespace

Recognised recognise(const std::vector<Word>& words, const Morphology& morphology, Shelf& shelf) {
    Recognised out;
    if (words.empty()) return out;
    const Lexicon lexicon = lexiconOf(shelf);
    std::size_t reach = 1;
    while (reach < words.size() && reach < kMaxPhraseWords && !words[reach - 1].breakAfter) ++reach;
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < reach; ++i) parts.push_back(withoutQuotes(words[i].text));
    for (std::size_t n = reach; n >= 2; --n) {
        const std::vector<std::string> phrase(parts.begin(), parts.begin() + static_cast<long>(n));
        if (std::any_of(phrase.begin(), phrase.end(), [](const auto& p) { return p.empty(); }))
            continue;
        out.forms = phraseForms(phrase, morphology, lexicon, shelf);
        if (out.forms.empty()) continue;
        for (std::size_t i = 0; i < n; ++i) out.matched += (i ? " " : "") + words[i].surface;
        out.wordCount = n;
        return out;
    }
    out.matched = words.front().surface;
    out.wordCount = 1;
    // Only the word as written can be a name: "Tom's" → Tom, not "It's" → be.
    bool names = capitalised(words.front().surface);
    for (const auto& part : partsOf(words.front(), shelf)) {
        formsOfPart(part.word, part.partsOfSpeech, names, morphology, lexicon, shelf, out.forms);
        names = false;
    }
    return out;
}

}  // namespace lirra::server::dictionary
