// SPDX-License-Identifier: GPL-3.0-or-later
#include "Morphology.h"

#include <array>
#include <cctype>

#include "ByteSource.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxListBytes = 4 << 20;

struct Rule {
    PartOfSpeech pos;
    std::string_view ending, replacement;
};

// WordNet's detachment rules, in its order: the first whose base exists wins.
constexpr std::array<Rule, 20> kRules{{
    {kNoun, "s", ""},        {kNoun, "ses", "s"},      {kNoun, "xes", "x"},
    {kNoun, "zes", "z"},     {kNoun, "ches", "ch"},    {kNoun, "shes", "sh"},
    {kNoun, "men", "man"},   {kNoun, "ies", "y"},      {kVerb, "s", ""},
    {kVerb, "ies", "y"},     {kVerb, "es", "e"},       {kVerb, "es", ""},
    {kVerb, "ed", "e"},      {kVerb, "ed", ""},        {kVerb, "ing", "e"},
    {kVerb, "ing", ""},      {kAdjective, "er", ""},   {kAdjective, "est", ""},
    {kAdjective, "er", "e"}, {kAdjective, "est", "e"},
}};

// The words after which a phrase's first word is its verb ("look up", "run into").
constexpr std::array<std::string_view, 15> kPrepositions{"to",   "at",   "of",  "on",    "off",
                                                         "in",   "out",  "up",  "down",  "from",
                                                         "with", "into", "for", "about", "between"};

constexpr std::array<std::pair<PartOfSpeech, const char*>, 4> kLists{
    {{kNoun, "noun.exc"}, {kVerb, "verb.exc"}, {kAdjective, "adj.exc"}, {kAdverb, "adv.exc"}}};

int slot(PartOfSpeech pos) {
    switch (pos) {
        case kNoun:
            return 0;
        case kVerb:
            return 1;
        case kAdjective:
            return 2;
        default:
            return 3;
    }
}

std::string detached(const std::string& word, const Rule& rule) {
    if (!word.ends_with(rule.ending)) return word;
    return word.substr(0, word.size() - rule.ending.size()) + std::string(rule.replacement);
}

bool hasPreposition(std::string_view phrase) {
    for (auto space = phrase.find(' '); space != std::string_view::npos;) {
        phrase.remove_prefix(space + 1);
        space = phrase.find(' ');
        const auto word = phrase.substr(0, space);
        for (const auto preposition : kPrepositions) {
            if (word == preposition) return true;
        }
    }
    return false;
}

void addForm(std::vector<BaseForm>& forms, std::string word, unsigned pos) {
    for (auto& form : forms) {
        if (form.word == word) {
            form.partsOfSpeech |= pos;
            return;
        }
    }
    forms.push_back({std::move(word), pos});
}

}  // namespace

Morphology Morphology::load(const std::string& folder, std::string& missing) {
    Morphology morphology;
    for (const auto& [pos, name] : kLists) {
        std::string text, error;
        if (readWholeFile(folder + "/" + name, kMaxListBytes, text, error)) {
            morphology.addExceptions(pos, text);
        } else {
            missing += (missing.empty() ? "" : ", ") + folder + "/" + name + " (" + error + ")";
        }
    }
    return morphology;
}

void Morphology::addExceptions(PartOfSpeech pos, std::string_view text) {
    auto& list = exceptions_[slot(pos)];
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> words;
        while (!line.empty()) {
            const auto space = line.find(' ');
            if (space != 0) words.emplace_back(line.substr(0, space));
            if (space == std::string_view::npos) break;
            line.remove_prefix(space + 1);
        }
        if (words.size() < 2) continue;
        // WordNet writes collocations with underscores; the dictionaries with spaces.
        for (auto& word : words) {
            for (char& c : word) {
                if (c == '_') c = ' ';
            }
        }
        auto& bases = list[words.front()];
        bases.insert(bases.end(), words.begin() + 1, words.end());
    }
}

const std::vector<std::string>* Morphology::exceptions(std::string_view word,
                                                       PartOfSpeech pos) const {
    const auto& list = exceptions_[slot(pos)];
    const auto found = list.find(std::string(word));
    return found == list.end() ? nullptr : &found->second;
}

// One word's base (WordNet's `morphword`): its exception, else the first detachment the lexicon
// has; adverbs by their exceptions only.
std::optional<std::string> Morphology::wordBase(const std::string& word, PartOfSpeech pos,
                                                const Lexicon& lexicon) const {
    if (const auto* listed = exceptions(word, pos)) return listed->front();
    if (pos == kAdverb) return std::nullopt;
    std::string stem = word, suffix;
    if (pos == kNoun) {
        if (word.ends_with("ful")) {  // "spoonsful" → spoonful
            stem.resize(word.size() - 3);
            suffix = "ful";
        } else if (word.ends_with("ss") || word.size() <= 2) {  // "glass", "us"
            return std::nullopt;
        }
    }
    for (const Rule& rule : kRules) {
        if (rule.pos != pos) continue;
        const std::string base = detached(stem, rule);
        if (base != stem && lexicon(base, pos)) return base + suffix;
    }
    return std::nullopt;
}

// "giving up" → give up, "looked up to" → look up to: the first word's base with the rest, as a
// verb the lexicon has, the last word also tried as a noun's base (WordNet's `morphprep`).
std::optional<std::string> Morphology::verbBeforePreposition(const std::string& phrase,
                                                             const Lexicon& lexicon) const {
    const auto first = phrase.find(' '), last = phrase.rfind(' ');
    const std::string verb = phrase.substr(0, first), rest = phrase.substr(first);
    std::optional<std::string> end;
    if (first != last) {
        if (const auto noun = wordBase(phrase.substr(last + 1), kNoun, lexicon))
            end = phrase.substr(first, last - first + 1) + *noun;
    }
    for (const unsigned char c : verb) {
        if (!std::isalnum(c)) return std::nullopt;
    }
    auto attempt = [&](const std::string& base) -> std::optional<std::string> {
        if (lexicon(base + rest, kVerb)) return base + rest;
        if (end && lexicon(base + *end, kVerb)) return base + *end;
        return std::nullopt;
    };
    const auto* listed = exceptions(verb, kVerb);
    if (listed && listed->front() != verb) {
        if (auto found = attempt(listed->front())) return found;
    }
    for (const Rule& rule : kRules) {
        if (rule.pos != kVerb) continue;
        const std::string base = detached(verb, rule);
        if (base == verb) continue;
        if (auto found = attempt(base)) return found;
    }
    if (end && verb + *end != phrase) return verb + *end;
    return std::nullopt;
}

// What WordNet's `morphstr` gives for `text` as `pos`; `listed` tells whether the exception list
// gave it.
std::vector<std::string> Morphology::bases(const std::string& text, PartOfSpeech pos,
                                           const Lexicon& lexicon, bool rules, bool& listed) const {
    const auto* exception = exceptions(text, pos);
    listed = exception && exception->front() != text;
    if (listed) return *exception;
    if (!rules) return {};
    if (pos != kVerb) {
        if (auto base = wordBase(text, pos, lexicon); base && *base != text) return {*base};
    }
    if (pos == kVerb && text.find(' ') != std::string::npos && hasPreposition(text)) {
        if (auto base = verbBeforePreposition(text, lexicon)) return {*base};
        return {};
    }
    // Word by word, hyphenated ones too: "ice creams" → ice cream, "mothers-in-law".
    std::string joined;
    for (std::size_t start = 0; start <= text.size();) {
        auto end = text.find_first_of(" -", start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        joined += wordBase(word, pos, lexicon).value_or(word);
        if (end < text.size()) joined += text[end];
        start = end + 1;
    }
    if (joined != text && lexicon(joined, pos)) return {joined};
    return {};
}

std::vector<BaseForm> Morphology::baseForms(std::string_view text, const Lexicon& lexicon,
                                            bool rules) const {
    std::vector<BaseForm> listedForms, detachedForms;
    const std::string word(text);
    for (const auto& [pos, name] : kLists) {
        bool listed = false;
        for (auto& base : bases(word, pos, lexicon, rules, listed)) {
            if (base != word && lexicon(base, pos))
                addForm(listed ? listedForms : detachedForms, std::move(base), pos);
        }
    }
    for (auto& form : detachedForms) addForm(listedForms, std::move(form.word), form.partsOfSpeech);
    return listedForms;
}

std::size_t Morphology::exceptionCount() const {
    std::size_t count = 0;
    for (const auto& list : exceptions_) count += list.size();
    return count;
}

}  // namespace lirra::server::dictionary
