// SPDX-License-Identifier: GPL-3.0-or-later
// The dictd dictionaries in a list of folders (Debian's /usr/share/dictd, the learner's own),
// found by their ".index" files and opened on first use. What a dictionary is for comes from
// its name, as FreeDict names them: "…eng-XXX" translates English into XXX (ISO 639-3),
// "…XXX-eng" goes the other way (not used for English words), anything else defines English
// words. A dictionary that cannot be opened is skipped with one log line. Open dictionaries
// hold their whole index in memory, so those unused for a while are closed again.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Dictionary.h"

namespace lirra::server::dictionary {

enum class DictionaryRole { kDefinitions, kTranslations, kIntoEnglish };

struct DictionaryFile {
    std::string id;  // the file name without ".index": "wn", "freedict-eng-spa"
    std::string folder;
    std::string indexPath;
    std::string dataPath;  // NAME.dict.dz, else NAME.dict
    DictionaryRole role = DictionaryRole::kDefinitions;
    std::string language;  // the other language's ISO 639-3 code; empty for definitions
    std::uint64_t indexBytes = 0;
};

class DictionaryCatalog {
  public:
    using Log = std::function<void(const std::string&)>;
    static constexpr std::size_t kMaxPerFolder = 500;

    // Lists the folders now (a missing folder is no error; one that cannot be read is logged).
    DictionaryCatalog(std::vector<std::string> folders, Log log);

    const std::vector<DictionaryFile>& files() const { return files_; }
    // The dictionary, opened on the first call; null if it cannot be (logged once). Thread-safe.
    std::shared_ptr<const Dictionary> open(std::size_t index) const;
    // Why the dictionary was skipped; empty if it opened or has not been tried.
    std::string failure(std::size_t index) const;
    // Closes the dictionaries last opened or used before `cutoff` (a look-up still holding one
    // keeps it until it is done); the next open() reads them again. How many were closed.
    std::size_t closeUnusedSince(std::chrono::steady_clock::time_point cutoff) const;
    bool isOpen(std::size_t index) const;

  private:
    struct Slot {
        mutable std::mutex mutex;
        bool tried = false;
        std::shared_ptr<const Dictionary> dictionary;
        std::string failure;
        std::chrono::steady_clock::time_point lastUse;
    };

    void scan(const std::string& folder);

    Log log_;
    std::vector<DictionaryFile> files_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

// What a dictionary named `id` is for, and the other language: "freedict-eng-spa" →
// translations, "spa".
DictionaryRole roleFromName(const std::string& id, std::string& language);

}  // namespace lirra::server::dictionary
