// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/Notebook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "notebook/AnkiNote.h"
#include "notebook/NotebookVideo.h"

namespace lirra::server::notebook {
namespace {

using nlohmann::json;

void log(const std::string& line) {
    std::fprintf(stderr, "lirra-server: notebook: %s\n", line.c_str());
}

bool containsText(const json& list, const std::string& text) {
    return list.is_array() && std::any_of(list.begin(), list.end(), [&](const json& v) {
               return v.is_string() && v.get<std::string>() == text;
           });
}

// Anki's search for the note of one item: its note type and its key, exactly.
std::string keyQuery(std::int64_t id) {
    return std::string("\"note:") + kAnkiModel + "\" \"Key:" + ankiKey(id) + "\"";
}

}  // namespace

Notebook::Notebook(Store& store, Folders folders, AnkiSettings anki, ClipLimits clips)
    : store_(store), folders_(std::move(folders)), anki_(std::move(anki)), clips_(clips) {}

std::string Notebook::videoPath(std::int64_t videoId) const {
    std::string why;
    auto file = openItemVideo(store_, folders_(), videoId, why);
    return file ? file->path : std::string();
}

bool Notebook::prepareAnki(AnkiError& error) const {
    const auto version = anki_.call("version", nullptr, error);
    if (!version) return false;
    if (!version->is_number_integer() || version->get<std::int64_t>() < kAnkiConnectVersion) {
        error = {"this AnkiConnect is too old (it speaks version " + version->dump() +
                     ", Lirra needs " + std::to_string(kAnkiConnectVersion) +
                     "); update it in Anki",
                 true};
        return false;
    }
    const auto decks = anki_.call("deckNames", nullptr, error);
    if (!decks) return false;
    if (!containsText(*decks, kAnkiDeck) &&
        !anki_.call("createDeck", {{"deck", kAnkiDeck}}, error)) {
        return false;
    }
    const auto models = anki_.call("modelNames", nullptr, error);
    if (!models) return false;
    if (!containsText(*models, kAnkiModel)) {
        return anki_.call("createModel", ankiModel(), error).has_value();
    }
    const auto fields = anki_.call("modelFieldNames", {{"modelName", kAnkiModel}}, error);
    if (!fields) return false;
    if (*fields != json(ankiFields())) {
        std::string names;
        for (const auto& f : ankiFields()) names += (names.empty() ? "" : ", ") + f;
        error = {std::string("Anki has a note type named “") + kAnkiModel +
                     "” with other fields; rename it in Anki (Tools > Manage Note Types) and send "
                     "again, and Lirra makes its own with the fields " +
                     names,
                 true};
        return false;
    }
    return true;
}

json Notebook::media(const NotebookItem& item, AnkiReport& report) const {
    json media = json::object();
    std::string why;
    auto file = openItemVideo(store_, folders_(), item.entry.videoId, why);
    if (!file) {
        report.withoutMedia.push_back({item.id, "no picture or sound: " + why});
        return media;
    }
    const auto& e = item.entry;
    const Clip picture = frameJpeg(file->file.get(), e.startMs + (e.endMs - e.startMs) / 2, clips_);
    const Clip sound =
        soundMp3(file->file.get(), e.startMs - kSoundPaddingMs, e.endMs + kSoundPaddingMs, clips_);
    std::string missing;
    if (!picture.bytes.empty()) {
        media["picture"] = json::array({{{"data", base64(picture.bytes)},
                                         {"filename", mediaFileName(item.id, picture.bytes, "jpg")},
                                         {"fields", {"Picture"}}}});
    } else {
        missing = "no picture: " + picture.error;
    }
    if (!sound.bytes.empty()) {
        media["audio"] = json::array({{{"data", base64(sound.bytes)},
                                       {"filename", mediaFileName(item.id, sound.bytes, "mp3")},
                                       {"fields", {"Audio"}}}});
    } else {
        missing += (missing.empty() ? "" : "; ") + std::string("no sound: ") + sound.error;
    }
    if (!missing.empty()) report.withoutMedia.push_back({item.id, missing});
    return media;
}

bool Notebook::sendItem(std::int64_t learner, const NotebookItem& item, AnkiReport& report,
                        AnkiError& error) {
    std::string storeError;
    const auto found = anki_.call("findNotes", {{"query", keyQuery(item.id)}}, error);
    if (!found) return false;
    if (found->is_array() && !found->empty()) {
        // Added before (its mark was lost, or it came from a copy of this notebook): never twice.
        const auto& first = (*found)[0];
        const std::int64_t noteId = first.is_number_integer() ? first.get<std::int64_t>() : 0;
        if (store_.markNotebookItemSent(learner, item.id, noteId, storeError) ==
            StoreStatus::Failed) {
            log(storeError);
        }
        ++report.duplicates;
        return true;
    }
    json note = {{"deckName", kAnkiDeck},
                 {"modelName", kAnkiModel},
                 {"fields", ankiNoteFields(item)},
                 {"options", {{"allowDuplicate", false}}},
                 {"tags", {"lirra"}}};
    note.update(media(item, report));
    const auto added = anki_.call("addNote", {{"note", note}}, error);
    if (!added) {
        // A note that went without media is not worth a second line about its media.
        if (!report.withoutMedia.empty() && report.withoutMedia.back().id == item.id) {
            report.withoutMedia.pop_back();
        }
        return false;
    }
    const std::int64_t noteId = added->is_number_integer() ? added->get<std::int64_t>() : 0;
    if (store_.markNotebookItemSent(learner, item.id, noteId, storeError) == StoreStatus::Failed) {
        // Anki has it; the next sending finds it there and marks it then.
        log("item " + std::to_string(item.id) + " is in Anki but not marked sent: " + storeError);
    }
    ++report.added;
    return true;
}

AnkiReport Notebook::sendToAnki(std::int64_t learner, const std::vector<std::int64_t>& ids) {
    const auto deadline = std::chrono::steady_clock::now() + anki_.settings().sendBound;
    AnkiReport report;
    std::vector<NotebookItem> pending;
    for (const std::int64_t id : ids) {
        NotebookItem item;
        std::string error;
        switch (store_.notebookItem(learner, id, item, error)) {
            case StoreStatus::Ok:
                if (item.sentMs != 0) {
                    ++report.duplicates;
                } else {
                    pending.push_back(std::move(item));
                }
                break;
            case StoreStatus::NotFound:
                report.failed.push_back({id, "no such item in the notebook"});
                break;
            case StoreStatus::Failed:
                log(error);
                report.failed.push_back({id, "the notebook could not be read"});
                break;
        }
    }
    {
        std::lock_guard lock(claimsMutex_);
        std::erase_if(pending, [&](const NotebookItem& item) {
            if (claimed_.insert(item.id).second) return false;
            report.failed.push_back({item.id, "this item is being sent to Anki already"});
            return true;
        });
    }
    // Whatever happens below, the items are free again for the next sending.
    const std::shared_ptr<void> release(nullptr, [&](void*) {
        std::lock_guard lock(claimsMutex_);
        for (const auto& item : pending) claimed_.erase(item.id);
    });
    if (pending.empty()) return report;
    AnkiError error;
    std::size_t next = 0;
    bool stopped = !prepareAnki(error);
    for (; !stopped && next < pending.size(); ++next) {
        if (std::chrono::steady_clock::now() > deadline) {
            error.message = "Anki took longer than " +
                            std::to_string(anki_.settings().sendBound.count() / 1000) +
                            " s; send the rest again";
            stopped = true;
            break;
        }
        if (sendItem(learner, pending[next], report, error)) continue;
        report.failed.push_back({pending[next].id, error.message});
        // Anki refused this one note; a silent or absent Anki will not take the next either.
        stopped = !error.refused;
    }
    if (stopped) {
        report.error = error.message;
        for (; next < pending.size(); ++next) {
            report.failed.push_back({pending[next].id, error.message});
        }
    }
    return report;
}

}  // namespace lirra::server::notebook
