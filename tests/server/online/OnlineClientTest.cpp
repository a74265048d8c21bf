// SPDX-License-Identifier: GPL-3.0-or-later
// The online client against a fake of the database (over HTTPS too): searches, manners and their
// lifetimes, and every bad answer, each bounded in time with one clear message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "FakeApi.h"
#include "OnlineClient.h"

namespace lirra::server::online {
namespace {

using namespace std::chrono_literals;
using test::FakeApi;
using Req = httplib::Request;
using Res = httplib::Response;

const std::string kRefused = "The subtitle database refused the key or the user name and password.";
const std::string kUsedUp = "Today's downloads from the subtitle database are used up.";
const std::string kUnreadable = "The subtitle database gave an answer Lirra could not read.";

// An endpoint's answer: this status and body, and a header when one is given.
test::Override answer(int status, std::string body, std::string header = {},
                      std::string value = {}) {
    return [=](const Req&, Res& res) {
        res.status = status;
        if (!header.empty()) res.set_header(header, value);
        res.set_content(body, "application/json");
        return true;
    };
}

class OnlineClientTest : public ::testing::Test {
  protected:
    // English: the hash's own, a hearing-impaired one, another release's; Spanish: a machine
    // translation and a human one.
    OnlineClientTest() {
        fake.subtitles = {{101, "en", true, false, false, false, 500},
                          {102, "en", true, true, false, false, 9000},
                          {103, "en", false, false, false, false, 20000},
                          {201, "es", true, false, true, false, 50},
                          {202, "es", true, false, false, false, 10}};
        client = makeClient(2000ms);
    }

    std::unique_ptr<OnlineClient> makeClient(std::chrono::milliseconds deadline,
                                             const FakeApi* api = nullptr,
                                             const std::string& caFile = {}) {
        ClientOptions options;
        options.userAgent = "Lirra v" LIRRA_VERSION;
        options.exchangeDeadline = deadline;
        options.offlinePause = 0s;
        options.selfPort = [this] { return selfPort.load(); };
        options.now = [this] { return now(); };
        auto c = std::make_unique<OnlineClient>(options);
        EXPECT_EQ(c->configure({fake.key, "", "", (api ? *api : fake).root(), caFile}), "");
        return c;
    }

    // The clock the client reads; the test moves it forward.
    std::chrono::system_clock::time_point now() const {
        return std::chrono::system_clock::now() + std::chrono::seconds(offsetSeconds.load());
    }
    void wait(std::chrono::seconds span) { offsetSeconds += span.count(); }

    FindOutcome findFilm(std::vector<std::string> languages = {"eng", "spa"}) {
        return client->find({"a1b2c3d4e5f607", 123456789, "Big.Buck.Bunny.2008.mkv"}, languages);
    }
    std::size_t calls(const std::string& path = {}) const { return fake.seen(path).size(); }
    // The file ids found, in order: "101 202".
    static std::string ids(const FindOutcome& outcome) {
        std::string text;
        for (const auto& l : outcome.links)
            text += (text.empty() ? "" : " ") + std::to_string(l.fileId);
        return text;
    }

    std::atomic<std::int64_t> offsetSeconds{0};
    std::atomic<int> selfPort{1};  // the port this service listens on
    FakeApi fake;
    std::unique_ptr<OnlineClient> client;
};

// A hash match in both languages and the manners of every call are checked through the service
// (OnlineLookupTest).
TEST_F(OnlineClientTest, NothingByHashThenTheGuessedTitle) {
    fake.subtitles.resize(3);  // English only: by hash that is enough, no title search
    EXPECT_EQ(ids(findFilm()), "101");
    EXPECT_EQ(calls("/subtitles"), 1u);
    EXPECT_EQ(ids(findFilm({"spa"})), "");

    fake.forget();
    for (auto& s : fake.subtitles) s.title = "the wire", s.season = 1, s.episode = 2;
    fake.subtitles.push_back({202, "es", false, false, false, false, 10, "the wire", 1, 2});
    const auto outcome = client->find({"ffff", 1000, "The.Wire.S01E02.720p.mkv"}, {"eng", "spa"});
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(ids(outcome), "103 202");  // downloads decide now
    std::string queries;
    for (const auto& search : fake.seen("/subtitles")) queries += search.query() + "\n";
    EXPECT_EQ(queries,
              "ai_translated=include&languages=en,es&machine_translated=include&moviehash="
              "000000000000ffff\nai_translated=include&episode_number=2&languages=en,es&"
              "machine_translated=include&query=the+wire&season_number=1\n");
    EXPECT_EQ(outcome.links[0].subFileName, "The.Wire.S01E02.720p.eng.srt");
}

TEST_F(OnlineClientTest, SearchesAreKeptADayPerVideoAndLinksAnHour) {
    const std::pair<std::chrono::seconds, std::pair<std::size_t, std::size_t>> steps[] = {
        {0s, {1, 2}}, {0s, {1, 2}}, {2h, {1, 4}}, {23h, {2, 6}}};
    for (const auto& [later, searchesAndLinks] : steps) {
        wait(later);
        EXPECT_EQ(ids(findFilm()), "101 202");
        EXPECT_EQ(std::make_pair(calls("/subtitles"), calls("/download")), searchesAndLinks);
    }
    client->find({"a1b2c3d4e5f607", 987, "Other.mkv"}, {"eng", "spa"});
    EXPECT_EQ(calls("/subtitles"), 3u);
}

TEST_F(OnlineClientTest, LoginUsesTheTokenForADayAndTheBaseUrlItAnswers) {
    FakeApi moved;  // the host the login sends later calls to
    moved.subtitles = fake.subtitles;
    fake.loginBaseUrl = "127.0.0.1:" + std::to_string(moved.http.port());
    client->configure({fake.key, fake.user, fake.password, fake.root(), ""});
    const auto outcome = findFilm();
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(ids(outcome), "101 202");
    ASSERT_EQ(calls(), 1u);
    EXPECT_EQ(nlohmann::json::parse(fake.seen("/login")[0].body),
              nlohmann::json({{"username", "learner"}, {"password", "secret words"}}));
    ASSERT_EQ(moved.seen("/download").size(), 2u);
    EXPECT_EQ(moved.seen("/download")[0].header("Authorization"), "Bearer tok.en.123");
    EXPECT_FALSE(moved.seen("/subtitles")[0].header("Authorization"));
    const std::pair<std::chrono::hours, std::size_t> renewals[] = {{2h, 1}, {22h, 2}};
    for (const auto& [later, logins] : renewals) {  // kept, then renewed before it lapses
        wait(later);
        findFilm({"eng"});
        EXPECT_EQ(calls("/login"), logins);
    }
    client->configure({fake.key, fake.user, "wrong", fake.root(), ""});
    EXPECT_EQ(findFilm().message, kRefused);
    EXPECT_EQ(client->state().status, OnlineStatus::BadKey);
}

TEST_F(OnlineClientTest, RefusedKeyStopsEveryCallUntilTheKeyChangesOrTheNextDay) {
    client->configure({"wrong-key", "", "", fake.root(), ""});
    EXPECT_EQ(findFilm().message, kRefused);
    EXPECT_EQ(client->state().status, OnlineStatus::BadKey);
    findFilm();
    client->find({"1234", 5, "Another.mkv"}, {"eng"});
    EXPECT_EQ(calls(), 1u);
    wait(24h);  // past the next midnight, UTC
    findFilm();
    EXPECT_EQ(calls(), 2u);
    client->configure({fake.key, "", "", fake.root(), ""});
    EXPECT_EQ(client->state().status, OnlineStatus::Ok);
    EXPECT_EQ(ids(findFilm()), "101 202");
}

TEST_F(OnlineClientTest, UsedUpQuotaStopsCallsUntilItRenews) {
    fake.remaining = 1;
    // The first link came with remaining 0: kept, and nothing more is asked today.
    EXPECT_EQ(ids(findFilm()), "101");
    EXPECT_EQ(client->state().status, OnlineStatus::Quota);
    EXPECT_EQ(client->state().remaining, 0);
    EXPECT_EQ(findFilm().message, kUsedUp);
    EXPECT_EQ(calls(), 2u);

    // A 406 answer blocks the same way, until the renewal it names.
    const std::time_t renewal = std::chrono::system_clock::to_time_t(now() + 30min);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", std::gmtime(&renewal));
    fake.resetTimeUtc = text;
    client->configure({fake.key, "", "", fake.root() + "/", ""});
    fake.forget();
    const std::pair<std::chrono::minutes, std::size_t> steps[] = {{0min, 2}, {29min, 2}, {2min, 3}};
    for (const auto& [later, seen] : steps) {
        wait(later);
        EXPECT_EQ(findFilm().message, kUsedUp);
        EXPECT_EQ(calls(), seen);  // the search, then the refused download again once renewed
    }
}

// Misbehaving answers: each ends with no link, the status and message given, and within the
// deadline; a Retry-After is honoured, ten seconds without one.
TEST_F(OnlineClientTest, BadAnswersEndCleanlyWithOneMessage) {
    const struct {
        const char* what;
        const char* endpoint;
        test::Override handler;
        OnlineStatus status;
        std::string message;
        std::chrono::seconds pause = 0s;  // before the next call may go
    } cases[] = {
        {"not JSON", "/subtitles", answer(200, "<html>hello</html>"), OnlineStatus::Offline,
         kUnreadable},
        {"401", "/subtitles", answer(401, R"({"message":"bad key"})"), OnlineStatus::BadKey,
         kRefused},
        {"403", "/download", answer(403, R"({"message":"banned"})"), OnlineStatus::BadKey,
         kRefused},
        {"500", "/subtitles", answer(500, "oops"), OnlineStatus::Offline,
         "The subtitle database answered with an error (HTTP 500)."},
        {"a non-http link", "/download",
         answer(200, R"({"link":"file:///etc/passwd","remaining":5})"), OnlineStatus::Ok,
         "The subtitle database gave a link Lirra will not follow."},
        {"429", "/subtitles", answer(429, "", "Retry-After", "30"), OnlineStatus::Ok,
         "The subtitle database asked Lirra to wait 30 s.", 30s},
        {"429 without a delay", "/subtitles", answer(429, ""), OnlineStatus::Ok,
         "The subtitle database asked Lirra to wait 10 s.", 10s},
        {"an answer over 4 MiB", "/subtitles",
         answer(200, R"({"data": [)" + std::string(4 << 20, ' ') + "]}"), OnlineStatus::Offline,
         kUnreadable},
        {"a slow drip of bytes", "/subtitles",
         [this](const Req&, Res& res) {
             res.set_content_provider(100000, "application/json",
                                      [this](size_t, size_t, httplib::DataSink& sink) {
                                          if (fake.http.stopping) return false;
                                          std::this_thread::sleep_for(50ms);
                                          return sink.write(" ", 1);
                                      });
             return true;
         },
         OnlineStatus::Offline, "The subtitle database could not be reached."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        client = makeClient(1000ms);
        fake.overrideEndpoint(c.endpoint, c.handler);
        const auto start = std::chrono::steady_clock::now();
        const auto outcome = findFilm();
        // Two exchanges at most may run into the deadline (a download per language).
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
        fake.overrideEndpoint(c.endpoint, nullptr);
        const auto state = client->state();
        EXPECT_EQ(std::make_tuple(ids(outcome), outcome.message, state.message, state.status),
                  std::make_tuple("", c.message, c.message, c.status));
        if (c.pause == 0s) continue;
        fake.forget();
        wait(c.pause - 1s);
        findFilm();
        EXPECT_EQ(calls(), 0u);
        wait(2s);
        EXPECT_EQ(ids(findFilm()), "101 202");
    }
}

TEST_F(OnlineClientTest, RedirectsOfAFileAreCheckedLikeLinksAndFollowedThreeTimes) {
    const std::string files = fake.origin() + "/files/";
    for (const auto& [location, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"/files/7.srt", ""},  // relative: not followed
             {files + "7.srt", test::fakeSubtitleText(7)},
             {"file:///etc/passwd", ""},
             {"http://127.0.0.1:1/Player/Home", ""},  // the service itself
             {"http://127.1:1/Player/Home", ""},      // the same, seen once resolved
             {"http://2130706433:" + fake.origin().substr(17) + "/files/7.srt",
              test::fakeSubtitleText(7)}}) {
        fake.overrideEndpoint("/files/101.srt", answer(302, "", "Location", location));
        const auto fetched = client->fetch(files + "101.srt");
        EXPECT_EQ(fetched.bytes, bytes) << location;
        EXPECT_EQ(fetched.error.empty(), !bytes.empty()) << location;
    }
    for (int id = 1; id <= 4; ++id) {  // 1 -> 2 -> 3 -> 4 -> 5
        const std::string next = files + std::to_string(id + 1) + ".srt";
        fake.overrideEndpoint("/files/" + std::to_string(id) + ".srt",
                              answer(302, "", "Location", next));
    }
    EXPECT_EQ(client->fetch(files + "2.srt").bytes, test::fakeSubtitleText(5));
    EXPECT_EQ(client->fetch(files + "1.srt").error, "too many redirects");
    // A name only its address shows to be this service, on the port the service listens on.
    selfPort = fake.http.port();
    const auto self = client->fetch("http://127.1:" + std::to_string(selfPort) + "/files/7.srt");
    EXPECT_EQ(self.bytes, "");
    EXPECT_NE(self.error.find("this service"), std::string::npos) << self.error;
}

// HTTPS for real: a fake with a certificate of its own, refused unless that certificate is the
// one the client trusts. Plain HTTP away from loopback is refused by the root's rules (ApiUrl).
TEST_F(OnlineClientTest, OnlyTheTrustedCertificateIsAccepted) {
    const auto dir = std::filesystem::path(::testing::TempDir()) /
                     ("lirra-online-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string cert = (dir / "cert.pem").string(), key = (dir / "key.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                           "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                           key + " -out " + cert + " 2>/dev/null")
                              .c_str()),
              0);
    FakeApi secure({cert, key});
    secure.subtitles = fake.subtitles;
    client = makeClient(3000ms, &secure);
    EXPECT_EQ(ids(findFilm()), "");
    EXPECT_EQ(client->state().status, OnlineStatus::Offline);
    EXPECT_TRUE(secure.seen().empty());  // the handshake failed before any request was read

    client = makeClient(3000ms, &secure, cert);
    const auto outcome = findFilm();
    EXPECT_EQ(ids(outcome), "101 202");
    EXPECT_EQ(outcome.links[0].link.rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(client->fetch(outcome.links[1].link).bytes, test::fakeSubtitleText(202));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lirra::server::online
