// SPDX-License-Identifier: GPL-3.0-or-later
// The online source inside the service: a real lirra server on loopback pointed at a fake of
// the database, looked up and uploaded to the way the app does it.
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "FakeApi.h"
#include "ServerFixture.h"
#include "media/MediaFiles.h"

namespace lirra::server::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const char kBothHeld[] =
    "eng online Film.eng.srt: Line of file 101|spa online Film.spa.srt: Line of file 201";

class OnlineLookupTest : public ServerFixture {
  protected:
    OnlineLookupTest() {
        fake.subtitles = {{101, "en"}, {201, "es"}, {202, "es", true, false, false, false, 5}};
    }
    void configure(ServerOptions& options) override {
        if (withKey_) {
            std::ofstream(root_ + "/key") << fake.key << "\n";
            options.openSubtitlesKeyFile = root_ + "/key";
        }
        options.openSubtitlesUrl = fake.root();
    }
    void TearDown() override {
        fake.http.stopping = true;  // the service's late job lets go of the fake first
        ServerFixture::TearDown();
    }

    json lookup() { return lookupJson("Film.mkv", "a1b2c3d4e5f607"); }
    json settings() { return answer(client().Get("/api/settings/opensubtitles")); }
    // The files offered, "!" after those to download: "Film.eng.srt! Film.spa.srt".
    static std::string names(const json& answer) {
        std::string text;
        for (const auto& e : answer["subsToDownload"])
            text += (text.empty() ? "" : " ") + e["subFileName"].get<std::string>() +
                    (e["mustBeDownloaded"].get<bool>() ? "!" : "");
        return text;
    }
    // The tracks held: "eng online Film.eng.srt: Line of file 101|...".
    std::string held(const json& videoId) {
        std::string text;
        const json all = tracks(videoId);
        for (const auto& t : all["tracks"])
            text += (text.empty() ? "" : "|") + t["language"].get<std::string>() + " " +
                    t["origin"].get<std::string>() + " " + t["fileName"].get<std::string>() + ": " +
                    t["cues"][0]["text"].get<std::string>();
        return text;
    }

    lirra::test::FakeApi fake;
    bool withKey_ = true;
};

TEST_F(OnlineLookupTest, BothLanguagesByHashAreOfferedThenHeldAndNeverAskedAgain) {
    const json answer = lookup();
    ASSERT_EQ(names(answer), "Film.eng.srt! Film.spa.srt!");
    // One search (its query is checked in OnlineClientTest), two download links.
    const auto seen = fake.seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].body + seen[2].body, R"({"file_id":101}{"file_id":201})");
    for (const auto& s : seen) {  // with the key, who asks, and no login configured
        EXPECT_EQ(s.header("Api-Key"), "test-key");
        EXPECT_EQ(s.header("User-Agent").value_or("").rfind("Lirra v", 0), 0u);
        EXPECT_FALSE(s.header("Authorization"));
    }
    // What the app does with each entry: fetch it from the database, upload it back.
    roundTrip("Film.mkv", "a1b2c3d4e5f607");
    EXPECT_EQ(held(answer["videoId"]), kBothHeld);
    EXPECT_FALSE(tracks(answer["videoId"])["pending"].get<bool>());

    fake.forget();
    const json again = lookup();
    EXPECT_EQ(names(again), "Film.eng.srt Film.spa.srt");
    EXPECT_TRUE(fake.seen().empty());
}

TEST_F(OnlineLookupTest, ALateAnswerIsHeldByTheServiceWhileTheVideoIsPending) {
    fake.overrideEndpoint("/subtitles", [this](const httplib::Request&, httplib::Response&) {
        for (int i = 0; i < 100 && !fake.http.stopping; ++i) std::this_thread::sleep_for(20ms);
        return false;  // then answer as usual
    });
    const auto begun = Clock::now();
    const json answer = lookup();
    EXPECT_LT(Clock::now() - begun, 1900ms);
    EXPECT_TRUE(answer["subsToDownload"].empty());
    EXPECT_TRUE(tracks(answer["videoId"])["pending"].get<bool>());
    eventually([&] { return tracks(answer["videoId"]); },
               [](const json& t) { return t["pending"] == false; });
    EXPECT_EQ(held(answer["videoId"]), kBothHeld);
    EXPECT_EQ(fake.seen("/files/101.srt").size(), 1u);  // fetched by the service itself
}

// The page's side (the key never read back, a refused key explained) is the browser test's.
TEST_F(OnlineLookupTest, WithoutAKeyNothingIsSentThenSettingsAreWrittenOwnerOnly) {
    withKey_ = false;
    restartServer();
    const auto begun = Clock::now();
    EXPECT_TRUE(lookup()["subsToDownload"].empty());
    EXPECT_LT(Clock::now() - begun, 500ms);
    EXPECT_EQ(settings()["status"], "off");
    EXPECT_TRUE(fake.seen().empty());
    auto put = [&](const std::string& body) {
        const auto res = client().Put("/api/settings/opensubtitles", body, "application/json");
        return res ? res->status : 0;
    };
    for (const char* bad : {"not json", R"({"key":"two words"})", R"({"apiKey":"x"})"})
        EXPECT_EQ(put(bad), 400) << bad;
    EXPECT_EQ(put(R"({"key":"new-key-1","user":"learner","password":"secret words"})"), 200);
    struct stat info {};
    ASSERT_EQ(::stat((dataDir_ + "/opensubtitles.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // The key saved from the page is used with the login, and a restart keeps them; only the
    // languages no local file has are asked.
    fake.key = "new-key-1";
    restartServer();
    EXPECT_EQ(settings(), json::parse(R"({"configured": true, "user": "learner", "status": "ok",
                                          "remaining": null, "message": ""})"));
    writeFile(libraryDir_ + "/Film.en.srt", "1\n00:00:01,000 --> 00:00:02,000\nHi\n\n");
    EXPECT_EQ(names(lookup()), "Film.en.srt! Film.spa.srt!");
    EXPECT_EQ(fake.seen("/login").size(), 1u);
    ASSERT_EQ(fake.seen("/subtitles").size(), 1u);
    EXPECT_NE(fake.seen("/subtitles")[0].query().find("&languages=es&"), std::string::npos);
    EXPECT_EQ(put(R"({"key":"","user":""})"), 200);
    EXPECT_FALSE(settings()["configured"].get<bool>());
}

}  // namespace
}  // namespace lirra::server::test
