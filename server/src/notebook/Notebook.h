// SPDX-License-Identifier: GPL-3.0-or-later
// The notebook's work beyond the store: sending items to Anki as notes with the frame and the
// sound of their line, and finding an item's video file. Sendings run side by side, each item
// claimed by one of them at a time, so that two requests for the same item can never both add
// it and a hung Anki holds up only the sending that waits on it.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "notebook/AnkiConnect.h"
#include "notebook/MediaClip.h"
#include "store/Store.h"

namespace lirra::server::notebook {

// Sound kept before and after a line, so that its first and last words are whole.
inline constexpr std::int64_t kSoundPaddingMs = 250;

struct ItemNote {
    std::int64_t id = 0;
    std::string text;
};

struct AnkiReport {
    int added = 0;
    int duplicates = 0;  // already in Anki (found there, or sent before): not added again
    std::vector<ItemNote> failed;
    std::vector<ItemNote> withoutMedia;  // added without a picture or sound, and why
    // Set when the sending stopped for every item left (Anki not there, a note type of another
    // shape...): those items are in `failed` with this text.
    std::string error;
};

class Notebook {
  public:
    // `folders` gives the library folders (canonical) when asked; it may be called from any
    // request thread.
    using Folders = std::function<std::vector<std::string>()>;
    Notebook(Store& store, Folders folders, AnkiSettings anki, ClipLimits clips = {});

    // Checks that the deck and note type "Lirra" are there (creating them when missing) and of
    // the right shape, then per item: looks for its key in Anki, and only when it is not there
    // adds a note with its picture and sound. Every item added or found is marked sent. Items
    // that are not the learner's are no such item.
    AnkiReport sendToAnki(std::int64_t learner, const std::vector<std::int64_t>& ids);

    // The path of the video's file when the service has it; "" otherwise.
    std::string videoPath(std::int64_t videoId) const;

    const AnkiSettings& ankiSettings() const { return anki_.settings(); }

  private:
    bool prepareAnki(AnkiError& error) const;
    // One item: false with `error` set when it was neither added nor found in Anki.
    bool sendItem(std::int64_t learner, const NotebookItem& item, AnkiReport& report,
                  AnkiError& error);
    nlohmann::json media(const NotebookItem& item, AnkiReport& report) const;

    Store& store_;
    Folders folders_;
    AnkiConnect anki_;
    ClipLimits clips_;
    std::mutex claimsMutex_;
    std::set<std::int64_t> claimed_;  // items a sending is working on
};

}  // namespace lirra::server::notebook
