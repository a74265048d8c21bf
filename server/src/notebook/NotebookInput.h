// SPDX-License-Identifier: GPL-3.0-or-later
// What the pages send to the notebook, checked: an item to save and the ids to send to Anki.
// Anything else is refused with a sentence that says what is wrong.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "store/NotebookRecords.h"

namespace lirra::server::notebook {

struct InputLimits {
    std::size_t maxTextBytes = 2000;  // a line, and its translation
    std::size_t maxWordBytes = 100;
    std::size_t maxDefinitionBytes = 4000;
    std::int64_t maxTimeMs = 48LL * 3600 * 1000;  // no video is longer
    std::int64_t maxLineMs = 10LL * 60 * 1000;
    std::size_t maxIds = 500;
};

// {"videoId", "startMs", "endMs", "text", "translation", "word"?, "definition"?}; control
// characters other than line breaks become spaces, and the texts are trimmed.
std::optional<NotebookEntry> readEntry(const nlohmann::json& body, std::string& error,
                                       const InputLimits& limits = {});

// {"ids": [N, ...]}: distinct, in the order given.
std::optional<std::vector<std::int64_t>> readIds(const nlohmann::json& body, std::string& error,
                                                 const InputLimits& limits = {});

}  // namespace lirra::server::notebook
