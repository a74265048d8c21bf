// SPDX-License-Identifier: GPL-3.0-or-later
// What the learner's notebook keeps: lines and words saved while watching, each with its video
// and the line's times, and whether it has gone to Anki.
#pragma once

#include <cstdint>
#include <string>

namespace lirra::server {

// A line (word empty) or a word of a line, as the player page saves it. Checked before it
// reaches the store (notebook/NotebookInput.h).
struct NotebookEntry {
    std::int64_t videoId = 0;
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::string text;         // the English line
    std::string translation;  // the line in the learner's language, as shown
    std::string word;         // the headword; "" for a whole line
    std::string definition;   // what the word's card showed
};

struct NotebookItem {
    std::int64_t id = 0;
    NotebookEntry entry;
    std::string videoName;  // the video's file name when it was saved
    std::int64_t createdMs = 0;
    std::int64_t sentMs = 0;      // 0: not sent to Anki yet
    std::int64_t ankiNoteId = 0;  // the note it became (or was found as), once sent
};

struct NotebookQuery {
    std::string search;  // items holding this text anywhere (case-blind for ASCII); "" for all
    int limit = 100;
    bool unsentOnly = false;
    bool oldestFirst = false;  // newest first otherwise
};

}  // namespace lirra::server
