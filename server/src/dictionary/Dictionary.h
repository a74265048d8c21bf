// SPDX-License-Identifier: GPL-3.0-or-later
// One dictd dictionary read in place: its index in memory, its data file read on demand.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DictData.h"
#include "DictIndex.h"

namespace lirra::server::dictionary {

class Dictionary {
  public:
    static constexpr std::size_t kMaxArticleBytes = 64 * 1024;

    // `dataPath` ending in ".dz" is read as dictzip, anything else as plain text. Null with
    // `error` set when either file is missing, unreadable or inconsistent with the other.
    static std::unique_ptr<Dictionary> open(const std::string& indexPath,
                                            const std::string& dataPath, std::string& error);
    static std::unique_ptr<Dictionary> fromParts(DictIndex index, std::unique_ptr<DictData> data);

    // `text` spelt the way this index was built: lower case, and unless the index keeps every
    // character (WordNet's does), letters, digits and spaces only.
    std::string key(std::string_view text) const;
    bool contains(std::string_view text) const;
    // The articles under `text`, at most `max`, each at most kMaxArticleBytes, as valid UTF-8.
    // An article that cannot be read is left out.
    std::vector<std::string> articles(std::string_view text, std::size_t max) const;

    bool keepsAllCharacters() const { return allCharacters_; }
    std::size_t headwordCount() const { return index_.headwordCount(); }
    // The dictionary's own one-line description ("00-database-short"); empty if it has none.
    const std::string& shortName() const { return shortName_; }

  private:
    Dictionary(DictIndex index, std::unique_ptr<DictData> data);
    std::optional<std::string> readEntry(const IndexEntry& entry) const;

    DictIndex index_;
    std::unique_ptr<DictData> data_;
    bool allCharacters_ = false;
    bool caseSensitive_ = false;
    std::string shortName_;
};

}  // namespace lirra::server::dictionary
