// SPDX-License-Identifier: GPL-3.0-or-later
#include "DictionaryService.h"

#include <algorithm>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <nlohmann/json.hpp>

#include "FreeDictChoice.h"
#include "NativeLanguages.h"
#include "Recognizer.h"
#include "TextFold.h"
#include "Words.h"
#include "speech/Speech.h"

namespace lirra::server::dictionary {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kMaxDefinitionsPerEntry = 6;
constexpr std::size_t kMaxDefinitionBytes = 400;
constexpr std::size_t kMaxOtherArticleBytes = 1200;
constexpr std::size_t kMaxTranslations = 8;
constexpr std::size_t kMaxTranslationsPerForm = 3;
constexpr std::size_t kMaxTranslationBytes = 600;

std::string dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

DictionaryReply reply(int status, const Json& value) { return {status, dump(value)}; }

DictionaryReply error(std::string message) { return reply(400, Json{{"error", message}}); }

// At most `max` bytes, cut between characters, "…" marking the cut.
std::string cut(std::string text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max - 3;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text + "\xE2\x80\xA6";
}

std::string validUtf8(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) appendUtf8(out, nextCodePoint(text, i));
    return out;
}

const char* roleName(DictionaryRole role) {
    switch (role) {
        case DictionaryRole::kDefinitions:
            return "definitions";
        case DictionaryRole::kTranslations:
            return "translations";
        default:
            return "into-english";
    }
}

// The pages' code for a FreeDict language where it has one.
std::string pageCode(const std::string& language) {
    const NativeLanguage* known = findNativeLanguage(language);
    return known ? std::string(known->code) : language;
}

Json entryJson(const std::string& headword, const std::string& partOfSpeech,
               const std::string& pronunciation, Json definitions, const std::string& source) {
    return Json{{"headword", headword},
                {"partOfSpeech", partOfSpeech},
                {"pronunciation", pronunciation},
                {"definitions", std::move(definitions)},
                {"source", source}};
}

// Takes at least `excess` bytes out of an answer: definitions first (from the entry with the
// most, keeping one each), then translations, then entries. False if nothing is left to take.
bool trim(Json& answer, std::size_t excess) {
    std::size_t removed = 0;
    auto take = [&](Json& list) {
        removed += dump(list.back()).size() + 1;  // and its comma
        list.erase(list.size() - 1);
    };
    while (removed < excess) {
        Json* longest = nullptr;
        for (auto& entry : answer["entries"]) {
            if (entry["definitions"].size() > 1 &&
                (!longest || entry["definitions"].size() > (*longest)["definitions"].size()))
                longest = &entry;
        }
        if (longest) {
            take((*longest)["definitions"]);
        } else if (!answer["translations"].empty()) {
            take(answer["translations"]);
        } else if (!answer["entries"].empty()) {
            take(answer["entries"]);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

struct DictionaryService::Translations {
    std::vector<ShelfBook> books;
    std::string status;   // "ok", "not-installed", "none-in-debian"
    std::string package;  // what would add one
};

std::string speechPronunciation(const std::string& word) {
    return speech::Speaker::shared().ipa(word, speech::Voice::Britain);
}

std::vector<std::string> defaultDictionaryFolders(const std::string& dataDirectory) {
    std::vector<std::string> folders{"/usr/share/dictd"};
    if (!dataDirectory.empty()) folders.push_back(dataDirectory + "/dictionaries");
    return folders;
}

DictionaryService::DictionaryService(DictionaryOptions options)
    : options_([&] {
          if (!options.log) {
              options.log = [](const std::string& line) {
                  std::fprintf(stderr, "lirra-server: %s\n", line.c_str());
              };
          }
          return std::move(options);
      }()),
      catalog_(options_.folders, options_.log),
      pronunciationSource_(std::string::npos) {
    std::string missing;
    morphology_ = Morphology::load(options_.morphologyFolder, missing);
    if (!missing.empty()) {
        options_.log("WordNet's exception lists are missing (" + missing +
                     "); irregular forms such as \"went\" are not recognised");
    }
    std::uint64_t largest = 0;
    const auto& files = catalog_.files();
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].role == DictionaryRole::kTranslations && files[i].indexBytes > largest) {
            largest = files[i].indexBytes;
            pronunciationSource_ = i;
        }
    }
}

std::string DictionaryService::sourceName(std::size_t index) const {
    const auto dictionary = catalog_.open(index);
    if (dictionary && !dictionary->shortName().empty()) return dictionary->shortName();
    return catalog_.files()[index].id;
}

void DictionaryService::closeWhenIdle(std::chrono::milliseconds idle) {
    if (closer_.joinable()) return;
    closer_ = std::thread([this, idle] {
        std::unique_lock lock(closerMutex_);
        // Checked twice per period, so that none stays open much over `idle` after its use.
        while (!closerWake_.wait_for(lock, idle / 2, [this] { return stopping_; })) {
            if (catalog_.closeUnusedSince(std::chrono::steady_clock::now() - idle) == 0) continue;
#ifdef __GLIBC__
            malloc_trim(0);  // an index is one large block: give its pages back to the system
#endif
        }
    });
}

DictionaryService::~DictionaryService() {
    {
        std::lock_guard lock(closerMutex_);
        stopping_ = true;
    }
    closerWake_.notify_all();
    if (closer_.joinable()) closer_.join();
}

DictionaryService::Translations DictionaryService::translationsFor(std::string_view code) const {
    Translations out;
    const NativeLanguage* language = findNativeLanguage(code);
    const auto& files = catalog_.files();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& file = files[i];
        if (file.role != DictionaryRole::kTranslations || file.language.empty()) continue;
        const bool matches =
            file.language == code ||
            (language && (file.language == language->freeDict || file.language == language->code));
        if (!matches) continue;
        if (auto dictionary = catalog_.open(i)) {
            out.books.push_back({std::move(dictionary), sourceName(i), false});
        }
    }
    if (!out.books.empty()) {
        out.status = "ok";
    } else if (language && !language->package.empty()) {
        out.status = "not-installed";
        out.package = language->package;
    } else {
        out.status = "none-in-debian";
    }
    return out;
}

DictionaryReply DictionaryService::lookup(std::string_view text,
                                          std::string_view nativeCode) const {
    if (codePointCount(text) > kMaxQueryCharacters) {
        return error("the text is longer than " + std::to_string(kMaxQueryCharacters) +
                     " characters");
    }
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return error("the text is empty");
    }

    Shelf shelf;
    const auto& files = catalog_.files();
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].role != DictionaryRole::kDefinitions) continue;
        if (auto dictionary = catalog_.open(i)) {
            const bool wordNet = files[i].id == "wn" && !shelf.hasWordNet();
            ShelfBook book{std::move(dictionary), sourceName(i), wordNet};
            if (wordNet) {
                shelf.definitions.insert(shelf.definitions.begin(), std::move(book));
            } else {
                shelf.definitions.push_back(std::move(book));
            }
        }
    }
    Translations translations = translationsFor(nativeCode);
    shelf.translations = translations.books;
    if (pronunciationSource_ != std::string::npos) {
        if (auto dictionary = catalog_.open(pronunciationSource_))
            shelf.pronunciations = {std::move(dictionary), files[pronunciationSource_].id, false};
    }

    const Recognised recognised = recognise(splitWords(text, kMaxPhraseWords), morphology_, shelf);

    // How many sounds the word has, by the largest FreeDict dictionary (0: unknown).
    auto referenceSounds = [&](const std::string& word) -> std::size_t {
        if (!shelf.pronunciations.dictionary) return 0;
        return fewestSounds(
            freeDictArticles(*shelf.pronunciations.dictionary, word, kReferenceArticles));
    };
    auto pronunciationOf = [&](const std::string& word) -> std::string {
        std::vector<const ShelfBook*> books;
        for (const auto& book : shelf.translations) books.push_back(&book);
        if (shelf.pronunciations.dictionary) books.push_back(&shelf.pronunciations);
        const std::size_t reference = referenceSounds(word);
        for (const ShelfBook* book : books) {
            for (auto& article :
                 ownArticles(*book->dictionary, word, reference, kMaxArticlesPerForm)) {
                if (!article.pronunciation.empty())
                    return cut(std::move(article.pronunciation), 120);
            }
        }
        const std::string spoken = options_.pronounce ? options_.pronounce(word) : "";
        return spoken.empty() ? spoken : cut("/" + spoken + "/", 120);
    };

    Json entries = Json::array();
    for (const auto& form : recognised.forms) {
        if (entries.size() >= kMaxEntries) break;
        std::optional<std::string> pronunciation;
        auto soundOf = [&] {
            if (!pronunciation) pronunciation = pronunciationOf(form.word);
            return *pronunciation;
        };
        for (const auto& book : shelf.definitions) {
            std::vector<WordNetArticle> articles;
            if (book.wordNet) {
                if (form.partsOfSpeech != 0) articles = shelf.wordNet(form.word);
            } else {
                for (const auto& article : book.dictionary->articles(form.word, 2)) {
                    auto parsed = parseWordNetArticle(article);
                    if (parsed.senses.empty()) {
                        // Not in WordNet's layout: the article's text is the definition.
                        const auto body = articleBody(article);
                        if (body.empty() || entries.size() >= kMaxEntries) continue;
                        entries.push_back(entryJson(form.word, "", soundOf(),
                                                    Json::array({cut(body, kMaxOtherArticleBytes)}),
                                                    book.name));
                        continue;
                    }
                    articles.push_back(std::move(parsed));
                }
            }
            for (const auto& article : articles) {
                for (const auto& sense : article.senses) {
                    if (!(sense.partOfSpeech & form.partsOfSpeech) || entries.size() >= kMaxEntries)
                        continue;
                    Json definitions = Json::array();
                    bool onlyNames = true;
                    for (const auto& definition : sense.definitions) {
                        if (definitions.size() >= kMaxDefinitionsPerEntry) break;
                        if (definition.name && !form.names) continue;
                        definitions.push_back(cut(definition.text, kMaxDefinitionBytes));
                        onlyNames = onlyNames && definition.name;
                    }
                    if (definitions.empty()) continue;
                    // "July" and "Tom" as written or when only a name's senses are shown;
                    // "be" for "It's", though WordNet's article is headed "Be" (beryllium).
                    const std::string& headword =
                        (form.names || onlyNames) && !article.headword.empty() ? article.headword
                                                                               : form.word;
                    entries.push_back(entryJson(headword, partOfSpeechName(sense.partOfSpeech),
                                                soundOf(), std::move(definitions), book.name));
                }
            }
        }
    }

    Json translated = Json::array();
    for (std::size_t f = 0; f < recognised.forms.size(); ++f) {
        const Form& form = recognised.forms[f];
        const std::size_t reference = shelf.translations.empty() ? 0 : referenceSounds(form.word);
        const unsigned wanted = form.partsOfSpeech ? form.partsOfSpeech : kAnyPartOfSpeech;
        for (const auto& book : shelf.translations) {
            const auto articles = ownArticles(*book.dictionary, form.word, reference,
                                              f == 0 ? kMaxArticlesScanned : kMaxArticlesPerForm);
            for (const FreeDictArticle* article :
                 bestTranslations(articles, wanted, kMaxTranslationsPerForm)) {
                if (translated.size() >= kMaxTranslations) break;
                const std::string text = cut(article->text, kMaxTranslationBytes);
                const bool again = std::any_of(translated.begin(), translated.end(),
                                               [&](const Json& t) { return t["text"] == text; });
                if (again) continue;
                translated.push_back(
                    Json{{"headword", article->headword.empty() ? form.word : article->headword},
                         {"partOfSpeech", article->partOfSpeech},
                         {"text", text},
                         {"source", book.name}});
            }
        }
    }

    Json forms = Json::array();
    for (const auto& form : recognised.forms) forms.push_back(form.word);
    Json answer{{"query", validUtf8(text)},
                {"matched", recognised.matched},
                {"wordCount", recognised.wordCount},
                {"forms", std::move(forms)},
                {"entries", std::move(entries)},
                {"translations", std::move(translated)},
                {"translationStatus", translations.status},
                {"package", translations.package}};
    std::string body = dump(answer);
    while (body.size() > kMaxAnswerBytes && trim(answer, body.size() - kMaxAnswerBytes))
        body = dump(answer);
    return {200, std::move(body)};
}

DictionaryReply DictionaryService::sources() const {
    Json dictionaries = Json::array();
    const auto& files = catalog_.files();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& file = files[i];
        const auto dictionary = catalog_.open(i);
        Json item{{"id", file.id},
                  {"name", sourceName(i)},
                  {"role", roleName(file.role)},
                  {"language", file.language.empty() ? "eng" : pageCode(file.language)},
                  {"headwords", dictionary ? dictionary->headwordCount() : 0},
                  {"path", file.indexPath},
                  {"status", dictionary ? "ok" : "skipped"}};
        if (!dictionary) item["error"] = catalog_.failure(i);
        dictionaries.push_back(std::move(item));
    }
    Json languages = Json::array();
    for (const auto& language : nativeLanguages()) {
        const Translations translations = translationsFor(language.code);
        std::size_t headwords = 0;
        for (const auto& book : translations.books) headwords += book.dictionary->headwordCount();
        languages.push_back(Json{{"code", language.code},
                                 {"status", translations.status},
                                 {"package", translations.package},
                                 {"headwords", headwords}});
    }
    return reply(200, Json{{"dictionaries", std::move(dictionaries)},
                           {"languages", std::move(languages)},
                           {"morphology", Json{{"folder", options_.morphologyFolder},
                                               {"exceptions", morphology_.exceptionCount()}}}});
}

}  // namespace lirra::server::dictionary
