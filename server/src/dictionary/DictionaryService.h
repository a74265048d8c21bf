// SPDX-License-Identifier: GPL-3.0-or-later
// Looks up the words a learner clicks: English definitions (WordNet and any other English
// dictionary found) and translations into the learner's language (FreeDict), all read in place
// from dictd files. The answers are JSON, shaped for the player page; see server/API.md.
// Every method may be called from several threads at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "DictionaryCatalog.h"
#include "Morphology.h"

namespace lirra::server::dictionary {

inline constexpr const char* kDefaultMorphologyFolder = "/usr/share/wordnet";

std::string speechPronunciation(const std::string& word);

struct DictionaryOptions {
    std::vector<std::string> folders = {};                    // searched in this order
    std::string morphologyFolder = kDefaultMorphologyFolder;  // WordNet's exception lists
    DictionaryCatalog::Log log = {};  // one line per problem; stderr when empty
    // The IPA of a word no dictionary has one for, without slashes ("" for none): the speech
    // engine's British English, like FreeDict's.
    std::function<std::string(const std::string&)> pronounce = speechPronunciation;
};

// Debian's dictd folder, then the learner's: DATA/dictionaries.
std::vector<std::string> defaultDictionaryFolders(const std::string& dataDirectory);

struct DictionaryReply {
    int status = 200;
    std::string json;
};

class DictionaryService {
  public:
    static constexpr std::size_t kMaxQueryCharacters = 200;
    static constexpr std::size_t kMaxEntries = 8;
    static constexpr std::size_t kMaxAnswerBytes = 16 * 1024;
    // Long enough for the look-ups of one scene, short against a film.
    static constexpr std::chrono::milliseconds kIdleBeforeClosing = std::chrono::minutes(2);

    explicit DictionaryService(DictionaryOptions options);

    // The longest phrase starting at the first word of `text` that a dictionary knows, else the
    // first word, with its entries and its translations into `nativeCode` (the pages' ISO
    // 639-2/B code). 400 for an empty text or one over kMaxQueryCharacters characters.
    DictionaryReply lookup(std::string_view text, std::string_view nativeCode) const;

    // Every dictionary found, with its role, language and headword count (this opens them
    // all), and the status of each of the pages' languages.
    DictionaryReply sources() const;

    // Dictionaries open on the first look-up that needs them; from now on, those unused for
    // `idle` are closed again (checked on a thread of its own, stopped by the destructor), so
    // that a learner watching without looking words up holds no index in memory.
    void closeWhenIdle(std::chrono::milliseconds idle);
    ~DictionaryService();
    DictionaryService(const DictionaryService&) = delete;
    DictionaryService& operator=(const DictionaryService&) = delete;

  private:
    struct Translations;
    Translations translationsFor(std::string_view nativeCode) const;
    std::string sourceName(std::size_t index) const;

    DictionaryOptions options_;
    DictionaryCatalog catalog_;
    Morphology morphology_;
    std::size_t pronunciationSource_;  // the largest FreeDict dictionary; npos if none
    std::mutex closerMutex_;
    std::condition_variable closerWake_;
    bool stopping_ = false;
    std::thread closer_;
};

}  // namespace lirra::server::dictionary
