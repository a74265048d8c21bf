// A store in a temporary folder that goes away with the test, and the notebook rows the tests
// put in it.
#pragma once

#include <gtest/gtest.h>

#include "../media/MediaFiles.h"
#include "store/SqliteStore.h"

namespace lirra::server::test {

class NotebookStoreFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        store_ = SqliteStore::open(media_.file("data"), error);
        ASSERT_TRUE(store_) << error;
    }

    std::int64_t video(const std::string& name, const std::string& hash = "8a3f2c",
                       std::uint64_t size = 734003200) {
        std::int64_t id = 0;
        std::vector<SubtitleEntry> entries;
        std::string error;
        EXPECT_EQ(store_->recordLookup({hash, size, name}, "spa", {}, id, entries, error),
                  StoreStatus::Ok);
        return id;
    }

    std::int64_t save(NotebookEntry entry) {
        std::int64_t id = 0;
        bool created = false;
        std::string error;
        EXPECT_EQ(store_->saveNotebookItem(entry, id, created, error), StoreStatus::Ok) << error;
        return id;
    }

    NotebookItem item(std::int64_t id) {
        NotebookItem item;
        std::string error;
        EXPECT_EQ(store_->notebookItem(id, item, error), StoreStatus::Ok) << id;
        return item;
    }

    MediaFolder media_;
    std::unique_ptr<SqliteStore> store_;
};

}  // namespace lirra::server::test
