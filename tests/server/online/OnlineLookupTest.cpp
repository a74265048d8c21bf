// The online source inside the service: a real lirra server on loopback pointed at a fake of
// the database, looked up and uploaded to the way the app does it.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "FakeApi.h"
#include "lirra/server/Server.h"

namespace lirra::server::online {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

class OnlineLookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("lirra-online-lookup-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "library");
        std::ofstream(dir_ / "key") << fake.key << "\n";
        fake.subtitles = {{101, "en"}, {201, "es"}, {202, "es", true, false, false, false, 5}};
    }

    void TearDown() override {
        fake.stopping = true;
        if (server_) server_->stop();
        std::filesystem::remove_all(dir_);
    }

    void start(bool withKey = true) {
        ServerOptions options;
        options.dataDirectory = (dir_ / "data").string();
        options.libraryFolders = {(dir_ / "library").string()};
        if (withKey) options.openSubtitlesKeyFile = (dir_ / "key").string();
        options.openSubtitlesUrl = fake.root();
        server_ = std::make_unique<Server>(options);
        ASSERT_EQ(server_->start(), "");
        http_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
        http_->set_read_timeout(10, 0);
    }

    json lookup(const std::string& fileName = "Film.mkv",
                const std::string& hash = "a1b2c3d4e5f607") {
        const auto res = http_->Post("/Player/GetSubtitlesToDownload",
                                     "fileSize=734003200&movieHash=" + hash +
                                         "&fileName=" + fileName + "&nativeLanguageCode=spa",
                                     "application/x-www-form-urlencoded");
        EXPECT_TRUE(res);
        if (!res) return json();
        EXPECT_EQ(res->status, 200) << res->body;
        return json::parse(res->body, nullptr, false);
    }

    // What the app does with each entry that must be downloaded: fetch it, upload it back.
    void downloadAndUpload(const json& answer) {
        httplib::MultipartFormDataItems parts;
        for (const auto& entry : answer["subsToDownload"]) {
            if (!entry["mustBeDownloaded"].get<bool>()) continue;
            const std::string url = entry["downloadUrl"];
            const auto slash = url.find('/', 8);
            httplib::Client files(url.substr(0, slash));
            const auto res = files.Get(url.substr(slash));
            ASSERT_TRUE(res && res->status == 200) << url;
            parts.push_back({std::to_string(entry["subtitleId"].get<long>()), res->body,
                             entry["subFileName"], "application/octet-stream"});
        }
        const auto res = http_->Post("/Subtitles/UploadSubtitles", parts);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << res->body;
    }

    json tracks(long id) {
        const auto res = http_->Get("/api/videos/" + std::to_string(id) + "/tracks");
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body, nullptr, false) : json();
    }

    json settings() {
        const auto res = http_->Get("/api/settings/opensubtitles");
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body, nullptr, false) : json();
    }

    static std::vector<std::string> names(const json& answer) {
        std::vector<std::string> v;
        for (const auto& e : answer["subsToDownload"]) v.push_back(e["subFileName"]);
        return v;
    }

    std::filesystem::path dir_;
    test::FakeApi fake;
    std::unique_ptr<Server> server_;
    std::unique_ptr<httplib::Client> http_;
};

TEST_F(OnlineLookupTest, BothLanguagesByHashAreOfferedThenHeldAndNeverAskedAgain) {
    start();
    const json answer = lookup();
    ASSERT_EQ(names(answer), (std::vector<std::string>{"Film.eng.srt", "Film.spa.srt"}));
    for (const auto& e : answer["subsToDownload"]) {
        EXPECT_TRUE(e["mustBeDownloaded"].get<bool>());
        EXPECT_EQ(e["downloadUrl"].get<std::string>().rfind(fake.origin() + "/files/", 0), 0u);
    }
    const auto seen = fake.seen();
    ASSERT_EQ(seen.size(), 3u);  // one search, two download links
    EXPECT_EQ(seen[0].query,
              "ai_translated=include&languages=en,es&machine_translated=include&moviehash="
              "00a1b2c3d4e5f607");

    downloadAndUpload(answer);
    const json held = tracks(answer["videoId"]);
    ASSERT_EQ(held["tracks"].size(), 2u);
    EXPECT_EQ(held["tracks"][0]["language"], "eng");
    EXPECT_EQ(held["tracks"][0]["origin"], "online");
    EXPECT_EQ(held["tracks"][1]["language"], "spa");
    EXPECT_EQ(held["tracks"][1]["cues"][0]["text"], "Line of file 201");
    EXPECT_FALSE(held["pending"].get<bool>());

    fake.forget();
    const json again = lookup();
    EXPECT_EQ(again["subsToDownload"].size(), 2u);
    for (const auto& e : again["subsToDownload"]) EXPECT_FALSE(e["mustBeDownloaded"].get<bool>());
    EXPECT_TRUE(fake.seen().empty());
}

TEST_F(OnlineLookupTest, OnlyLanguagesNoLocalSourceHasAreAsked) {
    std::ofstream(dir_ / "library" / "Film.en.srt") << "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n";
    start();
    const json answer = lookup();
    EXPECT_EQ(names(answer), (std::vector<std::string>{"Film.en.srt", "Film.spa.srt"}));
    ASSERT_EQ(fake.seen("/subtitles").size(), 1u);
    EXPECT_NE(fake.seen("/subtitles")[0].query.find("&languages=es&"), std::string::npos);
}

TEST_F(OnlineLookupTest, ALateAnswerIsHeldByTheServiceWhileTheVideoIsPending) {
    fake.overrideEndpoint("/subtitles", [this](const httplib::Request&, httplib::Response&) {
        for (int i = 0; i < 100 && !fake.stopping; ++i) std::this_thread::sleep_for(20ms);
        return false;  // then answer as usual
    });
    start();
    const auto begun = Clock::now();
    const json answer = lookup();
    EXPECT_LT(Clock::now() - begun, 1900ms);
    EXPECT_TRUE(answer["subsToDownload"].empty());
    EXPECT_TRUE(tracks(answer["videoId"])["pending"].get<bool>());

    json held;
    for (int i = 0; i < 100; ++i) {
        held = tracks(answer["videoId"]);
        if (!held["pending"].get<bool>()) break;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_FALSE(held["pending"].get<bool>());
    ASSERT_EQ(held["tracks"].size(), 2u);
    EXPECT_EQ(held["tracks"][0]["origin"], "online");
    EXPECT_EQ(held["tracks"][0]["fileName"], "Film.eng.srt");
    EXPECT_EQ(held["tracks"][1]["cues"][0]["text"], "Line of file 201");
    EXPECT_EQ(fake.seen("/files/101.srt").size(), 1u);  // fetched by the service itself
}

TEST_F(OnlineLookupTest, WithoutAKeyTheLookupIsAsBeforeAndNothingIsSent) {
    start(false);
    const auto begun = Clock::now();
    EXPECT_TRUE(lookup()["subsToDownload"].empty());
    EXPECT_LT(Clock::now() - begun, 500ms);
    EXPECT_EQ(settings(), json({{"configured", false},
                                {"user", ""},
                                {"status", "off"},
                                {"remaining", nullptr},
                                {"message", ""}}));
    EXPECT_TRUE(fake.seen().empty());
}

TEST_F(OnlineLookupTest, BadAnswersLeaveTheLocalSubtitlesInTimeWithOneMessage) {
    std::ofstream(dir_ / "library" / "Film.en.srt") << "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n";
    struct Case {
        const char* what;
        test::Override handler;
        const char* status;
    };
    const std::vector<Case> cases = {
        {"quota",
         [](const httplib::Request&, httplib::Response& res) {
             res.status = 406;
             res.set_content(R"({"remaining":0})", "application/json");
             return true;
         },
         "quota"},
        {"never answers",
         [this](const httplib::Request&, httplib::Response&) {
             while (!fake.stopping) std::this_thread::sleep_for(20ms);
             return false;
         },
         "offline"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake.overrideEndpoint(c.what == std::string("quota") ? "/download" : "/subtitles",
                              c.handler);
        start();
        const auto begun = Clock::now();
        const json answer = lookup();
        EXPECT_LT(Clock::now() - begun, 1900ms);
        EXPECT_EQ(names(answer), (std::vector<std::string>{"Film.en.srt"}));
        json state;
        for (int i = 0; i < 120; ++i) {  // the search that never ends is given up after 8 s
            state = settings();
            if (state["status"] == c.status) break;
            std::this_thread::sleep_for(100ms);
        }
        EXPECT_EQ(state["status"], c.status);
        EXPECT_NE(settings()["message"], "");
        fake.overrideEndpoint("/download", nullptr);
        fake.overrideEndpoint("/subtitles", nullptr);
        server_->stop();
    }
}

TEST_F(OnlineLookupTest, SettingsAreWrittenOwnerOnlyAndNeverReadBack) {
    start(false);
    auto put = [&](const std::string& body) {
        return http_->Put("/api/settings/opensubtitles", body, "application/json");
    };
    auto res = put(R"({"key":"new-key-1","user":"learner","password":"secret words"})");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(res->body.find("new-key-1"), std::string::npos);
    EXPECT_EQ(res->body.find("secret words"), std::string::npos);
    const json state = settings();
    EXPECT_TRUE(state["configured"].get<bool>());
    EXPECT_EQ(state["user"], "learner");
    EXPECT_EQ(state["status"], "ok");
    struct stat info {};
    ASSERT_EQ(::stat((dir_ / "data" / "opensubtitles.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    for (const char* bad :
         {"not json", R"({"key":"two words"})", R"({"key":7})", R"({"apiKey":"x"})", "[]"}) {
        res = put(bad);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << bad;
    }
    // The key saved from the page is used, and a restart keeps it.
    server_->stop();
    fake.key = "new-key-1";
    start(false);
    EXPECT_TRUE(settings()["configured"].get<bool>());
    EXPECT_EQ(lookup()["subsToDownload"].size(), 2u);
    EXPECT_EQ(fake.seen("/login").size(), 1u);

    res = put(R"({"key":"","user":""})");
    ASSERT_TRUE(res && res->status == 200);
    EXPECT_FALSE(settings()["configured"].get<bool>());
}

}  // namespace
}  // namespace lirra::server::online
