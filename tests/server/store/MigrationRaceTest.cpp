// SPDX-License-Identifier: GPL-3.0-or-later
// Services started together on one new data folder: each opens the store, none fails migrating.
#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "ServerFixture.h"
#include "http/Http.h"
#include "store/SqliteStore.h"

namespace lirra::server::test {
namespace {

TEST(SqliteMigrationRace, StoresOpenedAtOnceOnANewFolderAllOpen) {
    // Without one lock around the version check and the steps, nearly every round sees two
    // openers create the tables; the switch to WAL beside another opener fails in about one
    // round in fifty, hence the rounds.
    constexpr int kRounds = 60, kOpeners = 6;
    for (int round = 0; round < kRounds; ++round) {
        const std::string root = makeTempDir();
        std::barrier start(kOpeners);
        std::vector<std::string> errors(kOpeners);
        std::vector<bool> opened(kOpeners);
        std::vector<std::thread> threads;
        for (int i = 0; i < kOpeners; ++i) {
            threads.emplace_back([&, i] {
                start.arrive_and_wait();
                opened[i] = SqliteStore::open(root + "/data", errors[i]) != nullptr;
            });
        }
        for (auto& t : threads) t.join();
        for (int i = 0; i < kOpeners; ++i)
            EXPECT_TRUE(opened[i]) << "round " << round << ": " << errors[i];
        // The schema the winner made is whole: a store opened afterwards writes to it.
        std::string error;
        auto store = SqliteStore::open(root + "/data", error);
        ASSERT_NE(store, nullptr) << error;
        std::vector<std::string> statuses;
        EXPECT_EQ(store->setWordStatus(kImplicitLearner, "ran", "run", "known", error),
                  StoreStatus::Ok)
            << error;
        EXPECT_EQ(store->wordStatuses(kImplicitLearner, {"run"}, statuses, error), StoreStatus::Ok)
            << error;
        EXPECT_EQ(statuses, std::vector<std::string>{"known"});
        store.reset();
        removeTree(root);
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace lirra::server::test
