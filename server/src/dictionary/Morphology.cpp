#include "Morphology.h"

#include <array>

#include "ByteSource.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxListBytes = 4 << 20;

struct Rule {
    PartOfSpeech pos;
    std::string_view ending, replacement;
};

// WordNet's detachment rules, in its order.
constexpr std::array<Rule, 20> kRules{{
    {kNoun, "s", ""},        {kNoun, "ses", "s"},      {kNoun, "xes", "x"},
    {kNoun, "zes", "z"},     {kNoun, "ches", "ch"},    {kNoun, "shes", "sh"},
    {kNoun, "men", "man"},   {kNoun, "ies", "y"},      {kVerb, "s", ""},
    {kVerb, "ies", "y"},     {kVerb, "es", "e"},       {kVerb, "es", ""},
    {kVerb, "ed", "e"},      {kVerb, "ed", ""},        {kVerb, "ing", "e"},
    {kVerb, "ing", ""},      {kAdjective, "er", ""},   {kAdjective, "est", ""},
    {kAdjective, "er", "e"}, {kAdjective, "est", "e"},
}};

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

void addForm(std::vector<BaseForm>& forms, std::string word, PartOfSpeech pos) {
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

std::vector<BaseForm> Morphology::baseForms(std::string_view word, bool rules) const {
    std::vector<BaseForm> forms;
    for (const auto& [pos, name] : kLists) {
        const auto& list = exceptions_[slot(pos)];
        const auto found = list.find(std::string(word));
        if (found == list.end()) continue;
        for (const auto& base : found->second) {
            if (base != word) addForm(forms, base, pos);
        }
    }
    for (const Rule& rule : kRules) {
        if (!rules) break;
        // As WordNet does: no rule for nouns in "-ss" ("glass") or of two letters or fewer.
        if (rule.pos == kNoun && (word.ends_with("ss") || word.size() <= 2)) continue;
        if (!word.ends_with(rule.ending) || word.size() <= rule.ending.size()) continue;
        std::string base(word.substr(0, word.size() - rule.ending.size()));
        base += rule.replacement;
        addForm(forms, std::move(base), rule.pos);
    }
    return forms;
}

std::size_t Morphology::exceptionCount() const {
    std::size_t count = 0;
    for (const auto& list : exceptions_) count += list.size();
    return count;
}

}  // namespace lirra::server::dictionary
