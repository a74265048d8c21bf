// SPDX-License-Identifier: GPL-3.0-or-later
// The service over real HTTP on each backend: one learner's requests answered byte for byte
// alike, and a PostgreSQL restart under a running service costing 503s, never a fault.
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

class StoreOverHttp : public ServerFixture {
  protected:
    void SetUp() override {
        if (!lirra::test::PostgresCluster::installed())
            GTEST_SKIP() << "PostgreSQL 15's programs are not installed: not tried on PostgreSQL";
        ServerFixture::SetUp();
    }
    void onFreshPostgres() {
        server_.reset();
        backend_ = Backend::Postgres;
        removeTree(dataDir_);
        databaseUri_ = postgresCluster().freshDatabase();
        ASSERT_NE(databaseUri_, "") << postgresCluster().error();
        startServer();
    }
    // Each answer as "STATUS BODY", the port and the times (milliseconds since 1970) masked.
    std::string session() {
        const std::string form = "application/x-www-form-urlencoded", js = "application/json";
        const std::string save = R"({"videoId":1,"startMs":1000,"endMs":2000,"text":"Line 1",)"
                                 R"("word":"line","translation":"Línea 1"})";
        writeFile(libraryDir_ + "/Film.srt", srtFile(3));
        writeFile(libraryDir_ + "/Film.es.srt", srtFile(2, "Línea"));
        std::string out;
        auto note = [&](const httplib::Result& res) {
            out += res ? std::to_string(res->status) + " " + res->body + "\n" : "none\n";
        };
        note(lookup("Film.mkv"));
        roundTrip("Film.mkv");
        for (const Ask& ask : std::vector<Ask>{
                 {"GET", "/api/videos/1/tracks", 200},
                 {"POST", "/api/videos/1/subtitles", 201,
                  R"({"fileName":"Mine.srt","text":"1\n00:00:01,000 --> 00:00:02,000\nHi\n"})", js},
                 {"GET", "/api/videos/1/tracks", 200},
                 {"PUT", "/api/words/running", 200, R"({"status":"learning","form":"run"})", js},
                 {"POST", "/api/words/import?status=known", 200, "walk\nRun\nsky\nwalk\n",
                  "text/plain"},
                 {"POST", "/api/words/statuses", 200, R"({"words":["RUNNING","sky","Walk","x"]})",
                  js},
                 {"GET", "/api/words/counts", 200},
                 {"POST", "/api/notebook", 201, save, js},
                 {"POST", "/api/notebook", 200, save, js},
                 {"GET", "/api/notebook?query=LINE", 200},
                 {"GET", "/api/notebook?query=ine_1", 200},
                 {"DELETE", "/api/notebook/1", 200},
                 {"GET", "/api/videos/recent", 200}}) {
            const auto res = send(ask);
            EXPECT_EQ(res ? res->status : 0, ask.status) << ask.method << " " << ask.path;
            note(res);
        }
        const std::regex port(":" + std::to_string(server_->port()) + "\\b"), ms("\\b1\\d{12}\\b");
        return std::regex_replace(std::regex_replace(out, port, ":PORT"), ms, "T");
    }
};

TEST_F(StoreOverHttp, OneLearnersRequestsAreAnsweredAlikeOnBothBackends) {
    const std::string onSqlite = session();
    EXPECT_EQ(onSqlite.find("\n5"), std::string::npos) << onSqlite;
    onFreshPostgres();
    EXPECT_EQ(session(), onSqlite);
}

TEST_F(StoreOverHttp, ADatabaseRestartCosts503sAndTheNextRequestAfterItIsServed) {
    onFreshPostgres();
    const std::string words = R"({"words":["run"]})";
    std::atomic<bool> done = false;
    std::atomic<int> busy = 0, faults = 0;
    std::thread asker([&] {
        auto c = client();
        while (!done) {
            auto res = c.Post("/api/words/statuses", words, "application/json");
            const bool retry =
                res && res->status == 503 && res->get_header_value("Retry-After") == "1";
            busy += retry;
            faults += !retry && (!res || res->status != 200);
        }
    });
    ASSERT_TRUE(postgresCluster().stop()) << postgresCluster().error();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(postgresCluster().start()) << postgresCluster().error();
    const auto back = std::chrono::steady_clock::now();
    int answered = 0;
    while (std::chrono::steady_clock::now() - back < std::chrono::seconds(5) && answered != 200) {
        auto res = client().Post("/api/words/statuses", words, "application/json");
        answered = res ? res->status : 0;
    }
    done = true;
    asker.join();
    EXPECT_GT(busy, 0);
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(answered, 200);
}

}  // namespace
}  // namespace lirra::server::test
