// The notebook on a temporary store: saved once per line or word, listed newest first, found by
// search, deleted, marked sent once.
#include "NotebookStoreFixture.h"

namespace lirra::server {
namespace {

class NotebookStoreTest : public test::NotebookStoreFixture {
  protected:
    std::vector<std::int64_t> ids(NotebookQuery query) {
        std::vector<NotebookItem> items;
        std::string error;
        EXPECT_EQ(store_->notebookItems(query, items, error), StoreStatus::Ok) << error;
        std::vector<std::int64_t> out;
        for (const auto& item : items) out.push_back(item.id);
        return out;
    }
};

TEST_F(NotebookStoreTest, SavesEachLineAndWordOnce) {
    const auto film = video("Film.mkv");
    const auto other = video("Other.mkv", "77");
    const NotebookEntry line{film, 1000, 2500, "Hello there", "Hola", "", ""};
    auto with = [&](auto change) {
        NotebookEntry e = line;
        change(e);
        return e;
    };
    struct Row {
        const char* what;
        NotebookEntry entry;
        int sameAs;  // index of the row whose item this is, -1 for a new one
    };
    const Row rows[] = {
        {"a line", line, -1},
        {"the same line again", line, 0},
        {"with another translation shown", with([](auto& e) { e.translation = "Hola allí"; }), 0},
        {"a word of it", with([](auto& e) { e.word = "hello", e.definition = "a greeting"; }), -1},
        {"the word again", with([](auto& e) { e.word = "hello"; }), 3},
        {"the same text in another video", with([&](auto& e) { e.videoId = other; }), -1},
        {"at other times", with([](auto& e) { e.endMs = 2600; }), -1},
        {"other text", with([](auto& e) { e.text = "Hello there!"; }), -1},
    };
    std::vector<std::int64_t> saved;
    for (const auto& row : rows) {
        std::int64_t id = 0;
        bool created = false;
        std::string error;
        ASSERT_EQ(store_->saveNotebookItem(row.entry, id, created, error), StoreStatus::Ok)
            << row.what << ": " << error;
        EXPECT_EQ(created, row.sameAs < 0) << row.what;
        if (row.sameAs >= 0) {
            EXPECT_EQ(id, saved[row.sameAs]) << row.what;
        }
        saved.push_back(id);
    }
    EXPECT_EQ(item(saved[0]).entry.translation, "Hola");  // the first save is kept
    EXPECT_EQ(item(saved[0]).videoName, "Film.mkv");      // an unknown video: NotebookHttpTest
}

TEST_F(NotebookStoreTest, ListsSearchesDeletesAndMarksSent) {
    const auto film = video("Film.mkv");
    const char* texts[] = {"Hello there", "50% off today", "snake_case words", "Goodbye"};
    std::vector<std::int64_t> saved;
    for (const char* text : texts) {
        saved.push_back(save(
            {film, int(saved.size()) * 1000, int(saved.size()) * 1000 + 500, text, "", "", ""}));
    }
    EXPECT_EQ(ids({}), (std::vector<std::int64_t>{saved[3], saved[2], saved[1], saved[0]}));
    NotebookQuery limited;
    limited.limit = 2;
    EXPECT_EQ(ids(limited), (std::vector<std::int64_t>{saved[3], saved[2]}));

    const std::pair<const char*, std::vector<std::int64_t>> searches[] = {
        {"hello", {saved[0]}},  // letter case does not matter
        {"50%", {saved[1]}},    // % and _ are letters here, not wildcards
        {"e_c", {saved[2]}},
        {"%", {saved[1]}},
        {"film.MKV", {saved[3], saved[2], saved[1], saved[0]}},  // the video's name
        {"nowhere", {}},
    };
    for (const auto& [text, expected] : searches) {
        NotebookQuery query;
        query.search = text;
        EXPECT_EQ(ids(query), expected) << text;
    }

    std::string error;
    // Deleting twice is checked over HTTP (NotebookHttpTest).
    EXPECT_EQ(store_->deleteNotebookItem(saved[3], error), StoreStatus::Ok);

    EXPECT_EQ(store_->markNotebookItemSent(saved[0], 111, error), StoreStatus::Ok);
    EXPECT_EQ(store_->markNotebookItemSent(saved[0], 222, error), StoreStatus::Ok);
    EXPECT_EQ(store_->markNotebookItemSent(saved[3], 333, error), StoreStatus::NotFound);
    NotebookQuery unsent;
    unsent.unsentOnly = true;
    EXPECT_EQ(ids(unsent), (std::vector<std::int64_t>{saved[2], saved[1]}));

    EXPECT_EQ(item(saved[0]).ankiNoteId, 111);  // the first mark stays
    // A new item never takes a deleted one's id (Anki knows items by it).
    EXPECT_GT(save({film, 9000, 9500, "New", "", "", ""}), saved[3]);
}

}  // namespace
}  // namespace lirra::server
