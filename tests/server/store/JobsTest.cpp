// SPDX-License-Identifier: GPL-3.0-or-later
// Background work as rows: the store's claims on both backends and the queue over them.
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "Backends.h"
#include "sources/SourceQueue.h"

namespace lirra::server::test {
namespace {

using S = StoreStatus;

template <class Backend>
class Jobs : public ::testing::Test, public NewStore<Backend> {};
TYPED_TEST_SUITE(Jobs, Backends);

TYPED_TEST(Jobs, ClaimedInOrderOncePerOwnerAndLease) {
    for (auto [video, kind, capacity, status] :
         std::vector<std::tuple<int, const char*, int, S>>{{1, "k", 9, S::Ok},
                                                           {1, "k", 9, S::NotFound},
                                                           {1, "other", 9, S::Ok},
                                                           {2, "k", 9, S::Ok},
                                                           {3, "k", 2, S::NotFound},
                                                           {3, "k", 3, S::Ok}})
        EXPECT_EQ(this->enqueue(video, kind, capacity), status) << video << kind << capacity;
    auto& s = *this->store;
    std::string& e = this->error;
    const Job first = this->claim("A"), second = this->claim("B");
    EXPECT_EQ(std::tie(first.videoId, first.parameters, first.attempts, second.videoId),
              std::make_tuple(1, std::string("p1"), 1, 2));
    EXPECT_EQ(this->toDo("A"), 2);  // its own and video 3's, not B's
    for (auto [status, expected] :
         std::vector<std::pair<S, S>>{{s.finishJob(first.id, "B", e), S::NotFound},
                                      {s.renewJob(first.id, "B", 1, e), S::NotFound},
                                      {s.failJob(first.id, "B", 9, 0, e), S::NotFound},
                                      {s.finishJob(first.id, "A", e), S::Ok},
                                      {s.finishJob(first.id, "A", e), S::NotFound},
                                      {s.renewJob(second.id, "B", -1, e), S::Ok}})
        EXPECT_EQ(status, expected) << e;
    EXPECT_EQ(this->enqueue(1), S::Ok) << "done work is queued anew";
    // B's lease has ended: A takes video 2 over.
    const Job taken = this->claim("A", -1);
    EXPECT_EQ(std::tie(taken.id, taken.attempts), std::make_tuple(second.id, 2));
    EXPECT_EQ(this->claim("C").id, taken.id) << "a lease that ended is claimed again";
    EXPECT_EQ(s.failJob(taken.id, "C", 4, 60000, e), S::Ok);
    EXPECT_EQ(this->claim("C").videoId, 3) << "a failed try waits for its retry";
    const Job again = this->claim("C");
    EXPECT_EQ(std::tie(again.videoId, again.attempts), std::make_tuple(1, 1));
    EXPECT_EQ(this->toDo("A"), 1) << "video 2 waits its retry; C holds the others";
    EXPECT_EQ(s.failJob(again.id, "C", 1, 0, e), S::Ok);
    EXPECT_EQ(this->enqueue(1), S::Ok) << "failed for good after its last attempt";
}

TYPED_TEST(Jobs, EachJobGoesToOneOfManyClaimers) {
    constexpr int kJobs = 120;
    for (int video = 1; video <= kJobs; ++video) ASSERT_EQ(this->enqueue(video, "k", kJobs), S::Ok);
    std::mutex mutex;
    std::set<std::int64_t> claimed;
    int claims = 0;  // a second claim of a job counts as all of them
    std::vector<std::thread> claimers;
    for (int i = 0; i < 6; ++i) {
        claimers.emplace_back([&, owner = std::to_string(i)] {
            Job job;
            std::string error;
            while (this->store->claimJob("k", owner, 60000, job, error) == S::Ok) {
                std::lock_guard lock(mutex);
                claims += claimed.insert(job.videoId).second ? 1 : kJobs;
            }
        });
    }
    for (auto& claimer : claimers) claimer.join();
    EXPECT_EQ(claims, kJobs);
}

TEST(SourceQueue, BoundedOncePerVideoRetriedAndLeftToItsLease) {
    NewStore<SqliteBackend> db;
    std::atomic<bool> release{false};
    std::map<std::string, std::atomic<int>> runs;
    for (const char* parameters : {"blocks", "throws", "quick"}) runs[parameters] = 0;
    auto handler = [&](const Job& job, const std::atomic<bool>& stop) {
        ++runs[job.parameters];
        if (job.parameters == "throws") throw 1;
        while (job.parameters == "blocks" && !release && !stop) std::this_thread::yield();
    };
    EXPECT_NE(SourceQueue(*db.store, "k", handler).owner(),
              SourceQueue(*db.store, "k", handler).owner());
    const std::chrono::milliseconds lease(600);
    {
        SourceQueue queue(*db.store, "k", handler, {2, 1, lease});
        ASSERT_TRUE(queue.push(1, "blocks"));
        while (runs["blocks"] == 0) std::this_thread::yield();
        EXPECT_TRUE(!queue.push(1, "quick") && queue.push(2, "quick") && queue.push(3, "quick"));
        EXPECT_TRUE(!queue.push(4, "quick") && queue.busy(2) && !queue.busy(4)) << "full";
        std::this_thread::sleep_for(lease + lease / 3);
        EXPECT_EQ(db.toDo("other"), 2) << "2 and 3 wait; 1's lease is renewed while it runs";
        release = true;
        queue.waitIdle();
        EXPECT_EQ(std::tie(runs["blocks"], runs["quick"]), std::make_tuple(1, 2));
        release = false;
        EXPECT_TRUE(queue.push(5, "blocks"));
        while (runs["blocks"] == 1) std::this_thread::yield();
    }  // the running job is told to stop (else this waits for ever) and left claimed
    SourceQueue next(*db.store, "k", handler, {2, 1, lease, lease, 2, {}});
    release = true;
    EXPECT_TRUE(next.push(6, "throws"));
    std::this_thread::sleep_for(lease + lease / 3);  // until the lease left ends
    next.waitIdle();
    EXPECT_EQ(std::tie(runs["blocks"], runs["throws"]), std::make_tuple(3, 2))
        << "the job left is done after its lease; the one that throws is tried twice";
}

}  // namespace
}  // namespace lirra::server::test
