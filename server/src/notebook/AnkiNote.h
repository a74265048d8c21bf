// SPDX-License-Identifier: GPL-3.0-or-later
// The shape of a notebook item in Anki: the deck and note type "Lirra", their fields, the card
// templates, the fields of one item as Anki's HTML, and the names of its media files. The text
// export (TsvExport.h) writes the same fields.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "store/NotebookRecords.h"

namespace lirra::server::notebook {

inline constexpr char kAnkiDeck[] = "Lirra";
inline constexpr char kAnkiModel[] = "Lirra";

// Key, Word, Sentence, Translation, Definition, Picture, Audio, Source: in this order, the
// first being what Anki's duplicate check looks at.
const std::vector<std::string>& ankiFields();

// createModel's parameters: the fields, one card whose front shows the word (the sentence when
// there is none) and whose back shows the rest, and its style.
nlohmann::json ankiModel();

// "lirra-ID": names one item for good (ids are never reused).
std::string ankiKey(std::int64_t itemId);

// The item's fields as Anki's HTML, Picture and Audio empty (media fill them).
nlohmann::json ankiNoteFields(const NotebookItem& item);

// Text as HTML that shows exactly these characters; line breaks become <br>, tabs spaces.
std::string htmlText(std::string_view text);

// "Film.mkv, 1:02:03" (hours only when there are some).
std::string sourceText(const NotebookItem& item);
std::string clockText(std::int64_t ms);

// "lirra-ID-HASH.EXT": HASH is 16 hex digits of the bytes, so a name never stands for two
// different files, and nothing in it can leave Anki's media folder.
std::string mediaFileName(std::int64_t itemId, std::string_view bytes, std::string_view extension);

std::string base64(std::string_view bytes);

}  // namespace lirra::server::notebook
