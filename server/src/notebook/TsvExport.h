// SPDX-License-Identifier: GPL-3.0-or-later
// The notebook as a text file Anki imports without add-ons: its header lines (tab-separated,
// HTML fields, the columns by name), then one item per line with the note type's fields
// except the media, which a text file cannot carry.
#pragma once

#include <string>
#include <vector>

#include "store/NotebookRecords.h"

namespace lirra::server::notebook {

// Key, Word, Sentence, Translation, Definition, Source.
const std::vector<std::string>& tsvColumns();

std::string notebookTsv(const std::vector<NotebookItem>& items);

}  // namespace lirra::server::notebook
