// SPDX-License-Identifier: GPL-3.0-or-later
// Background work as rows: the store's claims on both backends, the queue over them, and two
// services on one PostgreSQL database sharing the container reading.
#include <algorithm>
#include <barrier>
#include <map>
#include <thread>

#include "Backends.h"
#include "media/MediaFiles.h"
#include "sources/SourceQueue.h"
#include "store/PostgresStore.h"
#include "store/SqliteStore.h"

namespace lirra::server::test {
namespace {

// A store on a new database of the backend's.
template <class Backend>
struct NewStore {
    Backend backend;
    std::unique_ptr<Store> store = [this] {
        std::string error;
        std::unique_ptr<Store> opened;
        if constexpr (std::is_same_v<Backend, SqliteBackend>)
            opened = SqliteStore::open(backend.root + "/data", error);
        else
            opened = PostgresStore::open(backend.uri, cluster().password(), 8, error);
        EXPECT_NE(opened, nullptr) << error;
        return opened;
    }();
};

template <class Backend>
class Jobs : public ::testing::Test {
  protected:
    NewStore<Backend> db_;
    Store* store_ = db_.store.get();
    std::string error_;
    // What each call answers, Ok meaning true for a question.
    StoreStatus enqueue(std::int64_t video, const char* kind = "k", std::int64_t capacity = 9) {
        bool queued = false;
        const auto status =
            store_->enqueueJob(kind, video, "p" + std::to_string(video), capacity, queued, error_);
        return status == StoreStatus::Ok && !queued ? StoreStatus::NotFound : status;
    }
    Job claim(const std::string& owner, std::int64_t leaseMs = 60000) {
        Job job;
        const auto status = store_->claimJob("k", owner, leaseMs, job, error_);
        EXPECT_NE(status, StoreStatus::Failed) << error_;
        return job;
    }
    std::int64_t toDo(const std::string& owner) {
        std::int64_t count = -1;
        EXPECT_EQ(store_->jobsToDo("k", owner, count, error_), StoreStatus::Ok) << error_;
        return count;
    }
};
TYPED_TEST_SUITE(Jobs, Backends);

TYPED_TEST(Jobs, ClaimedInOrderOncePerOwnerAndLease) {
    using S = StoreStatus;
    auto& s = *this->store_;
    for (auto [video, kind, capacity, status] :
         std::vector<std::tuple<int, const char*, int, S>>{{1, "k", 9, S::Ok},
                                                           {1, "k", 9, S::NotFound},
                                                           {1, "other", 9, S::Ok},
                                                           {2, "k", 9, S::Ok},
                                                           {3, "k", 2, S::NotFound},
                                                           {3, "k", 3, S::Ok}})
        EXPECT_EQ(this->enqueue(video, kind, capacity), status) << video << kind << capacity;
    const Job first = this->claim("A"), second = this->claim("B");
    EXPECT_EQ(std::tie(first.videoId, first.parameters, first.attempts),
              std::make_tuple(std::int64_t{1}, std::string("p1"), std::int64_t{1}));
    EXPECT_EQ(second.videoId, 2);
    EXPECT_EQ(this->toDo("A"), 2);  // its own and video 3's, not B's
    std::string& e = this->error_;
    for (auto [status, expected] :
         std::vector<std::pair<S, S>>{{s.finishJob(first.id, "B", e), S::NotFound},
                                      {s.renewJob(first.id, "B", 1, e), S::NotFound},
                                      {s.failJob(first.id, "B", 9, 0, e), S::NotFound},
                                      {s.finishJob(first.id, "A", e), S::Ok},
                                      {s.finishJob(first.id, "A", e), S::NotFound},
                                      {s.renewJob(second.id, "B", -1, e), S::Ok}})
        EXPECT_EQ(status, expected) << e;
    bool open = true;
    EXPECT_EQ(s.jobOpen("k", 1, open, e), S::Ok);
    EXPECT_FALSE(open);
    EXPECT_EQ(this->enqueue(1), S::Ok) << "done work is queued anew";
    // B's lease has ended: A takes video 2 over, and B's late finish is refused.
    const Job taken = this->claim("A", -1);
    EXPECT_EQ(std::tie(taken.id, taken.attempts), std::make_tuple(second.id, std::int64_t{2}));
    EXPECT_EQ(s.finishJob(taken.id, "B", e), S::NotFound);
    EXPECT_EQ(this->claim("C").id, taken.id) << "a lease that ended is claimed again";
    EXPECT_EQ(s.failJob(taken.id, "C", 4, 60000, e), S::Ok);
    EXPECT_EQ(this->claim("C").videoId, 3) << "a failed try waits for its retry";
    EXPECT_EQ(s.failJob(taken.id, "C", 4, 0, e), S::NotFound);
    const Job retried = this->claim("C");
    EXPECT_EQ(std::tie(retried.videoId, retried.attempts),
              std::make_tuple(std::int64_t{1}, std::int64_t{1}));
    EXPECT_EQ(this->toDo("A"), 1) << "only video 2, waiting; C's two are C's";
    EXPECT_EQ(this->claim("D").id, 0) << "video 2 waits its retry";
    (void)s.failJob(retried.id, "C", 1, 0, e);
    EXPECT_EQ(s.jobOpen("k", 1, open, e), S::Ok);
    EXPECT_FALSE(open) << "failed for good after its last attempt";
}

TYPED_TEST(Jobs, EachJobGoesToOneOfManyClaimers) {
    constexpr int kJobs = 120, kClaimers = 6;
    for (int video = 1; video <= kJobs; ++video)
        ASSERT_EQ(this->enqueue(video, "k", kJobs), StoreStatus::Ok);
    std::barrier start(kClaimers);
    std::vector<std::vector<std::int64_t>> claimed(kClaimers);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClaimers; ++i) {
        threads.emplace_back([&, i, owner = std::to_string(i)] {
            start.arrive_and_wait();
            for (int misses = 0; misses < 20;) {
                Job job;
                std::string error;
                const auto status = this->store_->claimJob("k", owner, 60000, job, error);
                misses += status != StoreStatus::Ok;
                if (status == StoreStatus::Ok) claimed[i].push_back(job.videoId);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    std::map<std::int64_t, int> claims;
    for (const auto& list : claimed)
        for (const auto video : list) ++claims[video];
    EXPECT_EQ(claims.size(), std::size_t{kJobs});
    EXPECT_TRUE(std::all_of(claims.begin(), claims.end(), [](auto& c) { return c.second == 1; }));
}

TEST(SourceQueue, BoundedOncePerVideoRetriedAndLeftToItsLease) {
    NewStore<SqliteBackend> db;
    Store& store = *db.store;
    std::atomic<bool> release{false}, sawStop{false};
    std::map<std::string, std::atomic<int>> runs;
    auto handler = [&](const Job& job, const std::atomic<bool>& stop) {
        ++runs[job.parameters];
        if (job.parameters == "throws") throw 1;
        while (job.parameters == "blocks" && !release && !stop) std::this_thread::yield();
        sawStop = stop.load();
    };
    runs["blocks"], runs["throws"], runs["quick"];
    std::string owner;
    {
        SourceQueue queue(store, "k", handler, {2, 1, std::chrono::milliseconds(300)});
        owner = queue.owner();
        ASSERT_TRUE(queue.push(1, "blocks"));
        EXPECT_FALSE(queue.push(1, "quick")) << "video 1 queued twice";
        while (runs["blocks"] == 0) std::this_thread::yield();
        EXPECT_TRUE(queue.push(2, "quick") && queue.push(3, "quick"));
        EXPECT_FALSE(queue.push(4, "quick")) << "over capacity";
        EXPECT_TRUE(queue.busy(2) && !queue.busy(4));
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // past one lease
        std::int64_t toDo = 0;
        std::string error;
        EXPECT_EQ(store.jobsToDo("k", "other", toDo, error), StoreStatus::Ok);
        EXPECT_EQ(toDo, 2) << "2 and 3 wait; 1's lease is renewed while it runs";
        release = true;
        queue.waitIdle();
        EXPECT_EQ(runs["blocks"], 1);
        EXPECT_EQ(runs["quick"], 2);
        EXPECT_FALSE(queue.busy(1));
        release = false;
        EXPECT_TRUE(queue.push(5, "blocks"));
        while (runs["blocks"] == 1) std::this_thread::yield();
    }  // the running job is told to stop and left claimed
    EXPECT_TRUE(sawStop);
    SourceQueue next(store, "k", handler, {2, 1, std::chrono::milliseconds(300), {}, 2, {}});
    EXPECT_NE(next.owner(), owner);
    release = true;
    EXPECT_TRUE(next.push(6, "throws"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // until the lease ends
    next.waitIdle();
    EXPECT_EQ(runs["blocks"], 3) << "the job left is done after its lease";
    EXPECT_EQ(runs["throws"], 2) << "tried twice, then failed";
    EXPECT_FALSE(next.busy(6));
}

// Two services on one database, their library the same: the jobs one queues are done once in
// all, and a job claimed by a service that died is done by a running one after its lease.
TEST(TwoServices, ShareTheContainerReadingAndTakeOverAJobLeftClaimed) {
    MediaFolder media;
    const std::string uri = cluster().freshDatabase(), password = cluster().password();
    std::vector<std::string> videos;
    for (int seconds = 3; seconds <= 6; ++seconds) {
        const std::string name = std::to_string(seconds) + ".mkv";
        ASSERT_FALSE(media.makeThreeTrackMkv(name, seconds).empty());
        videos.push_back(media.read(name));
    }
    std::vector<std::unique_ptr<Server>> services;
    for (const char* data : {"a", "b"}) {
        ServerOptions options;
        options.dataDirectory = media.file(data);
        options.libraryFolders = {media.path()};
        options.databaseUri = uri;
        options.databasePassword = password;
        services.push_back(std::make_unique<Server>(options));
        ASSERT_EQ(services.back()->start(), "");
    }
    httplib::Client a("127.0.0.1", services[0]->port());
    for (std::size_t i = 0; i < 3; ++i) {
        const auto res = a.Post("/Player/GetSubtitlesToDownload",
                                "fileSize=" + std::to_string(videos[i].size()) + "&movieHash=" +
                                    hashOf(videos[i]) + "&fileName=" + std::to_string(i + 3) +
                                    ".mkv&targetLanguageCode=eng&nativeLanguageCode=spa",
                                "application/x-www-form-urlencoded");
        ASSERT_TRUE(res && res->status == 200);
    }
    std::string error;
    auto store = PostgresStore::open(uri, password, 2, error);
    ASSERT_NE(store, nullptr) << error;
    const VideoKey dead{hashOf(videos[3]), videos[3].size(), "6.mkv"};
    std::int64_t deadId = 0;
    std::vector<SubtitleEntry> entries;
    bool queued = false;
    Job job;
    ASSERT_EQ(store->recordLookup(dead, "", {}, deadId, entries, error), StoreStatus::Ok);
    ASSERT_EQ(store->enqueueJob("container", deadId, videoKeyJson(dead).dump(), 9, queued, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->claimJob("container", "dead", 1500, job, error), StoreStatus::Ok);
    auto connection = PostgresBackend{uri}.connect();
    const auto jobs = eventually(
        [&] {
            std::string rows;
            auto st = connection->statement(
                "SELECT video_id, state, attempts, owner = 'dead', (SELECT count(*) FROM subtitles "
                "s WHERE s.video_id = j.video_id) FROM jobs j ORDER BY video_id");
            while (st.step() == pg::Statement::Step::Row)
                for (int c = 0; c < 5; ++c) rows += st.columnText(c) + (c < 4 ? " " : "\n");
            return rows;
        },
        [](const std::string& rows) { return rows.find("4 done") != std::string::npos; });
    EXPECT_EQ(jobs, "1 done 1 f 3\n2 done 1 f 3\n3 done 1 f 3\n4 done 2 f 3\n");
}

}  // namespace
}  // namespace lirra::server::test
