// The online client against a fake of the database on loopback (over HTTPS too): the searches,
// the manners and their lifetimes, and every kind of bad answer, each bounded in time with one
// clear message.
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
using Clock = std::chrono::steady_clock;
using Req = httplib::Request;
using Res = httplib::Response;

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
    OnlineClientTest() {
        fake.subtitles = {
            {101, "en", true, false, false, false, 500},
            {102, "en", true, true, false, false, 9000},     // hearing impaired
            {103, "en", false, false, false, false, 20000},  // another release
            {201, "es", true, false, true, false, 50},       // machine translated
            {202, "es", true, false, false, false, 10},
        };
        client = makeClient(2000ms);
    }

    std::unique_ptr<OnlineClient> makeClient(std::chrono::milliseconds deadline) {
        ClientOptions options;
        options.userAgent = "Lirra v" LIRRA_VERSION;
        options.exchangeDeadline = deadline;
        options.offlinePause = 0s;
        options.selfPort = [] { return 1; };
        options.now = [this] { return now(); };
        auto c = std::make_unique<OnlineClient>(options);
        c->configure({fake.key, "", "", fake.root(), ""});
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
    std::size_t calls(const std::string& path) const { return fake.seen(path).size(); }

    static std::vector<std::int64_t> ids(const FindOutcome& outcome) {
        std::vector<std::int64_t> v;
        for (const auto& l : outcome.links) v.push_back(l.fileId);
        return v;
    }

    std::atomic<std::int64_t> offsetSeconds{0};
    FakeApi fake;
    std::unique_ptr<OnlineClient> client;
};

// A hash match in both languages and the manners of every call are checked through the service
// (OnlineLookupTest).
TEST_F(OnlineClientTest, OnlyTheLanguagesThatExistAreFound) {
    fake.subtitles.resize(3);  // English only
    EXPECT_EQ(ids(findFilm()), (std::vector<std::int64_t>{101}));
    EXPECT_EQ(calls("/subtitles"), 1u);  // English by hash is enough: no title search
    EXPECT_EQ(findFilm({"spa"}).links.size(), 0u);
}

TEST_F(OnlineClientTest, NothingByHashThenTheGuessedTitle) {
    for (auto& s : fake.subtitles) s.title = "the wire", s.season = 1, s.episode = 2;
    const auto outcome = client->find({"ffff", 1000, "The.Wire.S01E02.720p.mkv"}, {"eng", "spa"});
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(ids(outcome), (std::vector<std::int64_t>{103, 202}));  // downloads decide now
    const auto searches = fake.seen("/subtitles");
    ASSERT_EQ(searches.size(), 2u);
    EXPECT_EQ(searches[0].query,
              "ai_translated=include&languages=en,es&machine_translated=include&moviehash="
              "000000000000ffff");
    EXPECT_EQ(searches[1].query,
              "ai_translated=include&episode_number=2&languages=en,es&machine_translated="
              "include&query=the+wire&season_number=1");
    EXPECT_EQ(outcome.links[0].subFileName, "The.Wire.S01E02.720p.eng.srt");
}

TEST_F(OnlineClientTest, SearchesAreKeptADayPerVideoAndLinksAnHour) {
    findFilm();
    findFilm();
    EXPECT_EQ(calls("/subtitles"), 1u);
    EXPECT_EQ(calls("/download"), 2u);
    wait(2h);
    findFilm();
    EXPECT_EQ(calls("/subtitles"), 1u);
    EXPECT_EQ(calls("/download"), 4u);
    wait(23h);
    findFilm();
    EXPECT_EQ(calls("/subtitles"), 2u);
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
    EXPECT_EQ(ids(outcome), (std::vector<std::int64_t>{101, 202}));
    const auto logins = fake.seen("/login");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(logins[0].body),
              nlohmann::json({{"username", "learner"}, {"password", "secret words"}}));
    EXPECT_EQ(fake.seen().size(), 1u);
    ASSERT_EQ(moved.seen("/download").size(), 2u);
    EXPECT_EQ(moved.seen("/download")[0].authorization, "Bearer tok.en.123");
    EXPECT_EQ(moved.seen("/subtitles")[0].authorization, "");
    wait(2h);
    findFilm({"eng"});
    EXPECT_EQ(calls("/login"), 1u);  // the token is kept
    wait(22h);
    findFilm({"eng"});
    EXPECT_EQ(calls("/login"), 2u);  // and renewed before it lapses

    client->configure({fake.key, fake.user, "wrong", fake.root(), ""});
    EXPECT_TRUE(findFilm().links.empty());
    EXPECT_EQ(client->state().status, OnlineStatus::BadKey);
}

TEST_F(OnlineClientTest, RefusedKeyStopsEveryCallUntilTheKeyChangesOrTheNextDay) {
    client->configure({"wrong-key", "", "", fake.root(), ""});
    auto outcome = findFilm();
    EXPECT_TRUE(outcome.links.empty());
    EXPECT_EQ(outcome.message,
              "The subtitle database refused the key or the user name and password.");
    EXPECT_EQ(client->state().status, OnlineStatus::BadKey);
    findFilm();
    client->find({"1234", 5, "Another.mkv"}, {"eng"});
    EXPECT_EQ(fake.seen().size(), 1u);

    wait(24h);  // past the next midnight, UTC
    findFilm();
    EXPECT_EQ(fake.seen().size(), 2u);

    client->configure({fake.key, "", "", fake.root(), ""});
    EXPECT_EQ(client->state().status, OnlineStatus::Ok);
    EXPECT_EQ(findFilm().links.size(), 2u);
}

TEST_F(OnlineClientTest, UsedUpQuotaStopsCallsUntilItRenews) {
    fake.remaining = 1;
    auto outcome = findFilm();
    // The first link came with remaining 0: kept, and nothing more is asked today.
    EXPECT_EQ(ids(outcome), (std::vector<std::int64_t>{101}));
    EXPECT_EQ(client->state().status, OnlineStatus::Quota);
    EXPECT_EQ(client->state().remaining, 0);
    EXPECT_EQ(calls("/download"), 1u);
    EXPECT_EQ(findFilm().message, "Today's downloads from the subtitle database are used up.");
    EXPECT_EQ(fake.seen().size(), 2u);

    // A 406 answer blocks the same way, until the renewal it names.
    const std::time_t renewal = std::chrono::system_clock::to_time_t(now() + 30min);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", std::gmtime(&renewal));
    fake.resetTimeUtc = text;
    client->configure({fake.key, "", "", fake.root() + "/", ""});
    fake.forget();
    findFilm();
    EXPECT_EQ(client->state().status, OnlineStatus::Quota);
    EXPECT_EQ(fake.seen().size(), 2u);  // the search and the refused download
    wait(29min);
    findFilm();
    EXPECT_EQ(fake.seen().size(), 2u);
    wait(2min);
    findFilm();
    EXPECT_EQ(fake.seen().size(), 3u);
}

// Misbehaving answers: each ends with no link, the status and message given, nothing held
// half, and within the deadline.
TEST_F(OnlineClientTest, BadAnswersEndCleanlyWithOneMessage) {
    const std::string unreachable = "The subtitle database could not be reached.";
    const std::string unreadable = "The subtitle database gave an answer Lirra could not read.";
    const std::string refused =
        "The subtitle database refused the key or the user name and password.";
    const struct {
        const char* what;
        const char* endpoint;
        test::Override handler;
        OnlineStatus status;
        std::string message;
    } cases[] = {
        {"not JSON", "/subtitles", answer(200, "<html>hello</html>"), OnlineStatus::Offline,
         unreadable},
        {"401", "/subtitles", answer(401, R"({"message":"bad key"})"), OnlineStatus::BadKey,
         refused},
        {"403", "/download", answer(403, R"({"message":"banned"})"), OnlineStatus::BadKey, refused},
        {"500", "/subtitles", answer(500, "oops"), OnlineStatus::Offline,
         "The subtitle database answered with an error (HTTP 500)."},
        {"a non-http link", "/download",
         answer(200, R"({"link":"file:///etc/passwd","remaining":5})"), OnlineStatus::Ok,
         "The subtitle database gave a link Lirra will not follow."},
        {"a 50 MiB answer", "/subtitles",
         [](const Req&, Res& res) {
             res.set_chunked_content_provider(
                 "application/json",
                 [sent = std::size_t(0)](size_t, httplib::DataSink& sink) mutable {
                     static const std::string chunk(64 * 1024, ' ');
                     if (sent == 0) sink.write("{\"data\":[", 9);
                     if (sent >= 50u * 1024 * 1024) return sink.done(), true;
                     sent += chunk.size();
                     return sink.write(chunk.data(), chunk.size());
                 });
             return true;
         },
         OnlineStatus::Offline, unreadable},
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
         OnlineStatus::Offline, unreachable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        client = makeClient(1000ms);
        fake.overrideEndpoint(c.endpoint, c.handler);
        const auto start = Clock::now();
        const auto outcome = findFilm();
        const auto took = Clock::now() - start;
        fake.overrideEndpoint(c.endpoint, nullptr);
        EXPECT_TRUE(outcome.links.empty());
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(client->state().status, c.status);
        EXPECT_EQ(client->state().message, c.message);
        // Two exchanges at most may run into the deadline (a download per language).
        EXPECT_LT(took, 2500ms);
    }
}

TEST_F(OnlineClientTest, RetryAfterIsHonouredAndTenSecondsWithout) {
    for (const auto& [header, seconds] : {std::pair<std::string, int>{"30", 30}, {"", 10}}) {
        client = makeClient(2000ms);
        fake.forget();
        fake.overrideEndpoint("/subtitles",
                              answer(429, "", header.empty() ? "" : "Retry-After", header));
        EXPECT_EQ(findFilm().message,
                  "The subtitle database asked Lirra to wait " + std::to_string(seconds) + " s.");
        EXPECT_EQ(client->state().status, OnlineStatus::Ok);
        wait(std::chrono::seconds(seconds - 1));
        findFilm();
        EXPECT_EQ(fake.seen().size(), 1u) << seconds;
        fake.overrideEndpoint("/subtitles", nullptr);
        wait(2s);
        EXPECT_EQ(findFilm().links.size(), 2u) << seconds;
        EXPECT_EQ(client->state().message, "");
    }
}

TEST_F(OnlineClientTest, RedirectsOfAFileAreCheckedLikeLinksAndFollowedThreeTimes) {
    const std::string files = fake.origin() + "/files/";
    for (const auto& [location, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"/files/7.srt", ""},  // relative: not followed
             {files + "7.srt", test::fakeSubtitleText(7)},
             {"file:///etc/passwd", ""},
             {"http://127.0.0.1:1/Player/Home", ""},  // the service itself
             {"http://localhost:1/x", ""}}) {
        fake.overrideEndpoint("/files/101.srt", [location = location](const Req&, Res& res) {
            res.set_redirect(location);
            return true;
        });
        const auto fetched = client->fetch(files + "101.srt");
        EXPECT_EQ(fetched.bytes, bytes) << location;
        EXPECT_EQ(fetched.error.empty(), !bytes.empty()) << location;
    }
    for (int id = 1; id <= 4; ++id) {  // 1 -> 2 -> 3 -> 4 -> 5
        fake.overrideEndpoint("/files/" + std::to_string(id) + ".srt", [=](const Req&, Res& res) {
            res.set_redirect(files + std::to_string(id + 1) + ".srt");
            return true;
        });
    }
    EXPECT_EQ(client->fetch(files + "2.srt").bytes, test::fakeSubtitleText(5));
    EXPECT_EQ(client->fetch(files + "1.srt").error, "too many redirects");
}

TEST_F(OnlineClientTest, CancellingEndsAnExchangeAtOnce) {
    client = makeClient(20000ms);
    fake.overrideEndpoint("/subtitles", [this](const Req&, Res& res) {
        while (!fake.http.stopping) std::this_thread::sleep_for(20ms);
        res.status = 500;
        return true;
    });
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(300ms);
        cancel = true;
    });
    const auto start = Clock::now();
    const auto outcome =
        client->find({"a1b2c3d4e5f607", 1, "Big.Buck.Bunny.mkv"}, {"eng"}, &cancel);
    canceller.join();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_TRUE(outcome.links.empty());
    EXPECT_EQ(client->state().status, OnlineStatus::Ok);  // cancelling says nothing about it
}

// HTTPS for real: the fake with a certificate of its own on loopback, refused unless that
// certificate is the one the client trusts. Plain HTTP away from loopback is refused by the root's
// rules (OnlinePartsTest, ApiUrl).
TEST(OnlineTlsTest, OnlyTheTrustedCertificateIsAccepted) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("lirra-online-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string cert = (dir / "cert.pem").string(), key = (dir / "key.pem").string();
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout " +
        key + " -out " + cert + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    FakeApi fake({cert, key});
    fake.subtitles = {{101, "en"}, {201, "es"}};
    auto client = [&](const std::string& caFile) {
        ClientOptions options;
        options.userAgent = "Lirra v" LIRRA_VERSION;
        options.exchangeDeadline = 3000ms;
        auto c = std::make_unique<OnlineClient>(options);
        EXPECT_EQ(c->configure({fake.key, "", "", fake.root(), caFile}), "");
        return c;
    };

    auto untrusting = client("");
    auto outcome = untrusting->find({"00a1b2c3d4e5f607", 1, "Film.mkv"}, {"eng"});
    EXPECT_TRUE(outcome.links.empty());
    EXPECT_EQ(untrusting->state().status, OnlineStatus::Offline);
    EXPECT_TRUE(fake.seen().empty());  // the handshake failed before any request was read

    auto trusting = client(cert);
    outcome = trusting->find({"00a1b2c3d4e5f607", 1, "Film.mkv"}, {"eng", "spa"});
    ASSERT_EQ(outcome.links.size(), 2u) << outcome.message;
    EXPECT_EQ(outcome.links[0].link.rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(trusting->fetch(outcome.links[1].link).bytes, test::fakeSubtitleText(201));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lirra::server::online
