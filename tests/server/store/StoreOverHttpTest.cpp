// SPDX-License-Identifier: GPL-3.0-or-later
// The service over real HTTP on PostgreSQL: one learner's requests answered byte for byte as on
// SQLite, restarts of the database under a running service costing 503s, never a fault, the
// next request after it served; two services on one database sharing the container reading.
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "Backends.h"
#include "http/Http.h"
#include "media/MediaFiles.h"
#include "sources/SourceQueue.h"

namespace lirra::server::test {
namespace {

class StoreOverHttp : public ServerFixture {
  protected:
    StoreOverHttp() { backend_ = Backend::Postgres; }

    // Each answer, the port, the times (milliseconds since 1970) and whether a fit is still
    // being made (it is made beside the requests) masked.
    std::string session() {
        const std::string
            js = "application/json",
            save = R"({"videoId":1,"startMs":1000,)"
                   R"("endMs":2000,"text":"Line 1","word":"line","translation":"Línea 1"})";
        writeFile(libraryDir_ + "/Film.srt", srtFile(3));
        writeFile(libraryDir_ + "/Film.es.srt", srtFile(2, "Línea"));
        // Looked up twice before anything is held: the offers are kept once.
        std::string out = answer(lookup("Film.mkv")).dump() + answer(lookup("Film.mkv")).dump();
        roundTrip("Film.mkv");
        for (const Ask& ask : std::vector<Ask>{
                 {"GET", "/api/videos/1/tracks", 200},
                 {"POST", "/api/videos/1/subtitles", 201,
                  R"({"fileName":"Mine.srt","text":"1\n00:00:01,000 --> 00:00:02,000\nHi\n"})", js},
                 {"PUT", "/api/words/running", 200, R"({"status":"learning","form":"run"})", js},
                 {"POST", "/api/words/import?status=known", 200, "walk\nRun\nsky\nwalk\n",
                  "text/plain"},
                 {"POST", "/api/words/statuses", 200, R"({"words":["RUNNING","sky","Walk","x"]})",
                  js},
                 {"GET", "/api/words/counts", 200},
                 {"POST", "/api/notebook", 201, save, js},
                 {"POST", "/api/notebook", 200, save, js},
                 {"GET", "/api/notebook?query=LINE", 200},
                 {"DELETE", "/api/notebook/1", 200},
                 {"GET", "/api/videos/recent", 200}}) {
            const auto res = send(ask);
            EXPECT_EQ(res ? res->status : 0, ask.status) << ask.method << " " << ask.path;
            out += res ? res->body + "\n" : "none\n";
        }
        const std::regex port(":" + std::to_string(server_->port()) + "\\b"),
            ms("\\b1\\d{12}\\b|\"pending\":[a-z]+");
        return std::regex_replace(std::regex_replace(out, port, ":PORT"), ms, "T");
    }
};

TEST_F(StoreOverHttp, OneLearnersRequestsAreAnsweredAsOnSqlite) {
    const std::string onPostgres = session();
    server_.reset();
    databaseUri_.clear();
    startServer();
    EXPECT_EQ(onPostgres, session());
}

TEST_F(StoreOverHttp, ADatabaseRestartCosts503sAndTheNextRequestAfterItIsServed) {
    std::atomic<bool> done = false;
    std::atomic<int> busy = 0, faults = 0;
    auto ask = [this] {
        return client().Post("/api/words/statuses", R"({"words":["run"]})", "application/json");
    };
    std::thread asker([&] {
        while (!done) {
            auto res = ask();
            const bool retry =
                res && res->status == 503 && res->get_header_value("Retry-After") == "1";
            busy += retry;
            faults += !retry && (!res || res->status != 200);
        }
    });
    EXPECT_TRUE(postgresCluster().stop()) << postgresCluster().error();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(postgresCluster().start()) << postgresCluster().error();
    const auto back = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int answered = 0;
    while (std::chrono::steady_clock::now() < back && answered != 200)
        if (const auto res = ask()) answered = res->status;
    done = true;
    asker.join();
    EXPECT_EQ(std::make_tuple(busy > 0, faults.load(), answered), std::make_tuple(true, 0, 200));
    // The connections left idle across a restart are not the ones the next requests fail on.
    // Askers at once leave several idle, more than a background job may take in between.
    std::vector<std::thread> askers;
    for (int i = 0; i < 4; ++i)
        askers.emplace_back([&] {
            for (int n = 0; n < 20; ++n) ask();
        });
    for (auto& t : askers) t.join();
    ASSERT_TRUE(postgresCluster().restart()) << postgresCluster().error();
    std::vector<int> after;
    for (int i = 0; i < 4; ++i) {
        const auto res = ask();
        after.push_back(res ? res->status : 0);
    }
    EXPECT_EQ(after, std::vector<int>(4, 200));
}

TEST_F(StoreOverHttp, TwoServicesShareTheContainerReadingAndTakeOverAJobLeftClaimed) {
    const auto first = std::move(server_);  // stays, and the fixture starts another
    dataDir_ = root_ + "/other";
    startServer();
    MediaFolder media;
    NewStore<PostgresBackend> db{{databaseUri_}, {}};
    for (int seconds = 3; seconds <= 6; ++seconds) {
        const std::string name = std::to_string(seconds) + ".mkv";
        ASSERT_FALSE(media.makeThreeTrackMkv(name, seconds).empty());
        const std::string bytes = media.read(name), hash = hashOf(bytes);
        writeFile(libraryDir_ + "/" + name, bytes);
        if (seconds < 6) {
            lookupJson(name, hash, std::to_string(bytes.size()));
            continue;
        }
        // The last one's job is claimed by a service that dies at once.
        const VideoKey key{hash, bytes.size(), name};
        std::int64_t id = 0;
        std::vector<SubtitleEntry> entries;
        ASSERT_EQ(db.store->recordLookup(kImplicitLearner, key, "", {}, id, entries, db.error),
                  StoreStatus::Ok);
        ASSERT_EQ(db.enqueue(id, "container", 9, videoKeyJson(key).dump()), StoreStatus::Ok);
        ASSERT_NE(db.claim("dead", 1500, "container").id, 0) << db.error;
    }
    auto connection = db.backend.connect();
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
