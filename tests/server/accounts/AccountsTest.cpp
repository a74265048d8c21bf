// SPDX-License-Identifier: GPL-3.0-or-later
// Accounts over HTTP: what each mode lets through, registering, signing in and out, the
// password, deleting, the throttle behind a proxy, the administrator, the command line, and
// sessions shared by two services on one PostgreSQL database.
#include <cstdlib>

#include "Backends.h"

namespace lirra::server::test {
namespace {

using S = StoreStatus;

// The session cookie an answer sets ("lirra_session=..."), empty without one.
std::string sessionCookie(const httplib::Result& res) {
    const std::string cookie = res ? res->get_header_value("Set-Cookie") : "";
    return cookie.rfind("lirra_session=", 0) == 0 ? cookie.substr(0, cookie.find(';')) : "";
}

class Accounts : public ServerFixture {
  protected:
    void SetUp() override {}  // each test starts its service in the mode it needs
    void start(const std::string& mode) {
        mode_ = mode;
        ServerFixture::SetUp();
    }
    void configure(ServerOptions& options) override {
        options.accounts = mode_;
        options.trustedProxies = {"127.0.0.1"};
    }
    httplib::Result post(const std::string& path, const std::string& body,
                         const std::string& cookie = {}, httplib::Headers headers = {},
                         const char* type = "application/x-www-form-urlencoded") {
        if (!cookie.empty()) headers.emplace("Cookie", cookie);
        return client().Post(path, headers, body, type);
    }
    httplib::Result get(const std::string& path, const std::string& cookie) {
        return client().Get(path, {{"Cookie", cookie}});
    }
    // The session of a registration or sign-in that must succeed.
    std::string enter(const char* path, const std::string& name, const std::string& password,
                      const std::string& cookie = {}) {
        const auto res = post(path, "name=" + name + "&password=" + password, cookie);
        EXPECT_EQ(res ? res->status : 0, 303) << path << " " << name;
        return sessionCookie(res);
    }
    nlohmann::json state(const std::string& cookie) { return answer(get("/api/account", cookie)); }

    std::string mode_ = "off";
};

TEST_F(Accounts, EachModeLetsThroughWhatItShould) {
    const std::string lookupForm = "fileSize=7&movieHash=8a3f2c&fileName=a.mkv&nativeLanguage=spa";
    const struct {
        std::string method, path;
        int status[3];  // off, optional, required
    } rows[] = {
        {"GET", "/Player/Home", {200, 200, 303}},
        {"GET", "/Player/Notebook", {200, 200, 303}},
        {"GET", "/api/videos/recent", {200, 200, 401}},
        {"PUT", "/api/words/house", {200, 401, 401}},
        {"POST", "/Player/GetSubtitlesToDownload", {200, 200, 401}},
        {"GET", "/api/settings/opensubtitles", {200, 401, 401}},
        {"GET", "/api/admin/figures", {404, 401, 401}},
        {"POST", "/Account/SignOut", {404, 303, 303}},
        {"GET", "/Account/SignIn", {200, 200, 200}},
        {"GET", "/static/lirra.css", {200, 200, 200}},
        {"GET", "/l10n/fr.json", {200, 200, 200}},
        {"GET", "/healthz", {200, 200, 200}},
        {"GET", "/readyz", {200, 200, 200}},
    };
    const char* modes[] = {"off", "optional", "required"};
    for (int m = 0; m < 3; ++m) {
        start(modes[m]);
        std::vector<Ask> asks;
        for (const auto& [method, path, status] : rows) {
            const bool form = method == "POST";
            const std::string body = method == "GET" || path == "/Account/SignOut" ? ""
                                     : form                                        ? lookupForm
                                            : R"({"status": "known"})";
            asks.push_back({method, path, status[m], body,
                            form ? "application/x-www-form-urlencoded" : "application/json"});
        }
        SCOPED_TRACE(modes[m]);
        expectStatuses(asks);
        TearDown();
    }
}

TEST_F(Accounts, RequiredSendsPagesToSignInAndBackAndNeverElsewhere) {
    start("required");
    const auto res = client().Get("/Player/Play?videoId=42");
    ASSERT_EQ(res->status, 303);
    EXPECT_EQ(res->get_header_value("Location").rfind("/Account/SignIn?next=/Player/Play", 0), 0u);
    const auto page = client().Get("/Account/SignIn?next=%2F%2Fevil.example");
    EXPECT_NE(page->body.find(R"(name="next" value="/Player/Home")"), std::string::npos)
        << "another site is never where signing in leads";
    EXPECT_EQ(post("/Account/Register", "name=alice&password=secret-one&next=//evil.example")
                  ->get_header_value("Location"),
              "/Player/Home");
    const auto back =
        post("/Account/SignIn", "name=alice&password=secret-one&next=/Player/Notebook");
    EXPECT_EQ(back->get_header_value("Location"), "/Player/Notebook");
}

TEST_F(Accounts, RegisterSignInChangeThePasswordSignOutAndDelete) {
    start("required");
    const std::string alice = enter("/Account/Register", "Alice", "secret-one");
    ASSERT_FALSE(alice.empty());
    EXPECT_EQ(state(alice)["name"], "alice") << "names are kept in lower case";
    const auto taken = post("/Account/Register", "name=ALICE&password=another-one");
    EXPECT_EQ(taken->status, 409);
    EXPECT_NE(taken->body.find("show-taken"), std::string::npos);
    EXPECT_EQ(post("/Account/Register", "name=bob&password=short")->status, 400);
    EXPECT_EQ(post("/Account/Register", "name=b%20b&password=long-enough")->status, 400);
    const std::string bob = enter("/Account/Register", "bob", "bobs-secret");

    // A wrong password and a name nobody has are answered alike.
    const auto wrong = post("/Account/SignIn", "name=alice&password=not-hers!");
    const auto unknown = post("/Account/SignIn", "name=nobody&password=not-hers!");
    EXPECT_EQ(std::tie(wrong->status, wrong->body), std::tie(unknown->status, unknown->body));
    EXPECT_EQ(wrong->status, 401);
    EXPECT_EQ(sessionCookie(wrong), "");

    const std::string second = enter("/Account/SignIn", "alice", "secret-one");
    EXPECT_EQ(post("/Account/Password", "current=not-hers!&password=secret-two", alice)->status,
              401);
    const auto changed = post("/Account/Password", "current=secret-one&password=secret-two", alice);
    EXPECT_EQ(changed->status, 303);
    const std::string renewed = sessionCookie(changed);
    EXPECT_EQ(get("/api/account", second)->status, 401) << "a new password ends other sessions";
    EXPECT_EQ(state(renewed)["name"], "alice");
    EXPECT_EQ(post("/Account/SignIn", "name=alice&password=secret-one")->status, 401);

    const auto out = post("/Account/SignOut", "", renewed);
    EXPECT_EQ(sessionCookie(out), "lirra_session=");
    EXPECT_EQ(get("/api/account", renewed)->status, 401) << "signed out on the service too";

    const std::string third = enter("/Account/SignIn", "alice", "secret-two");
    EXPECT_EQ(post("/Account/Delete", "current=secret-one", third)->status, 401);
    EXPECT_EQ(post("/Account/Delete", "current=secret-two", third)->status, 303);
    EXPECT_EQ(get("/api/account", third)->status, 401);
    EXPECT_EQ(post("/Account/SignIn", "name=alice&password=secret-two")->status, 401);
    EXPECT_EQ(state(bob)["name"], "bob") << "another learner's account is untouched";
}

TEST_F(Accounts, TheCookieIsHttpOnlyLaxAndSecureBehindTls) {
    start("optional");
    const auto plain = client().Get("/Player/Home");
    const auto tls = client().Get("/Player/Home", {{"X-Forwarded-Proto", "https"}});
    const std::string cookie = plain->get_header_value("Set-Cookie");
    EXPECT_EQ(cookie.substr(cookie.find(';')), "; Path=/; Max-Age=2592000; HttpOnly; SameSite=Lax");
    EXPECT_NE(tls->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    EXPECT_EQ(client().Get("/api/videos/recent")->get_header_value("Set-Cookie"), "")
        << "a client without cookies makes no learner";
    // A page visit slides the cookie's expiry with the session's; the session stays the same.
    const std::string session = cookie.substr(0, cookie.find(';'));
    EXPECT_EQ(get("/Player/Home", session)->get_header_value("Set-Cookie"), cookie);
    EXPECT_EQ(get("/api/words/counts", session)->get_header_value("Set-Cookie"), "");
}

TEST_F(Accounts, AnAnonymousVisitorWhoRegistersKeepsTheirSpace) {
    start("optional");
    const std::string visitor = sessionCookie(client().Get("/Player/Home"));
    ASSERT_FALSE(visitor.empty());
    EXPECT_EQ(state(visitor)["anonymous"], true);
    EXPECT_EQ(client()
                  .Put("/api/words/house", {{"Cookie", visitor}}, R"({"status": "known"})",
                       "application/json")
                  ->status,
              200);
    const std::string named = enter("/Account/Register", "carol", "carols-secret", visitor);
    EXPECT_NE(named, visitor) << "a new token for the new account";
    EXPECT_EQ(get("/api/account", visitor)->body, get("/api/account", "")->body)
        << "the visitor's token no longer works";
    const auto now = state(named);
    EXPECT_EQ(
        std::make_tuple(now["name"], now["anonymous"], now["signedIn"]),
        std::make_tuple(nlohmann::json("carol"), nlohmann::json(false), nlohmann::json(true)));
    std::string error;
    auto store = SqliteStore::open(dataDir_, error);
    ServiceFigures figures;
    ASSERT_EQ(store->serviceFigures(figures, error), S::Ok) << error;
    EXPECT_EQ(std::tie(figures.accounts, figures.anonymous),
              std::make_tuple(std::int64_t{1}, std::int64_t{0}))
        << "the anonymous learner was named, not left behind";
}

TEST_F(Accounts, FailedSignInsAreThrottledPerAccountAndByTheAddressTheProxyNames) {
    start("required");
    ASSERT_FALSE(enter("/Account/Register", "alice", "secret-one").empty());
    const httplib::Headers proxied = {{"X-Forwarded-For", "203.0.113.7"}};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(post("/Account/SignIn", "name=alice&password=a-guess", {}, proxied)->status, 401);
    const auto blocked = post("/Account/SignIn", "name=alice&password=secret-one", {},
                              {{"X-Forwarded-For", "198.51.100.1"}});
    EXPECT_EQ(blocked->status, 429) << "even the right password, from elsewhere";
    EXPECT_NE(blocked->body.find("show-throttled"), std::string::npos);
    std::string error;
    auto store = SqliteStore::open(dataDir_, error);
    std::int64_t byAddress = 0, byPeer = 0;
    ASSERT_EQ(store->signinFailures("address:203.0.113.7", 60000, byAddress, error), S::Ok);
    ASSERT_EQ(store->signinFailures("address:127.0.0.1", 60000, byPeer, error), S::Ok);
    EXPECT_EQ(std::make_pair(byAddress, byPeer), std::make_pair(std::int64_t{5}, std::int64_t{0}));
}

TEST_F(Accounts, TheCommandLineMakesAnAdministratorWhoAloneManagesLearners) {
    const std::string root = makeTempDir(), passwordFile = root + "/password";
    writeFile(passwordFile, "admins-secret\n");
    const std::string command = std::string(LIRRA_SERVER_EXECUTABLE) +
                                " account create --admin --data " + root + "/data" +
                                " --password-file " + passwordFile + " ";
    EXPECT_EQ(std::system((command + "root > /dev/null").c_str()), 0);
    EXPECT_NE(std::system((command + "Root 2> /dev/null").c_str()), 0) << "taken";
    EXPECT_NE(std::system((command + "'bad name' 2> /dev/null").c_str()), 0);
    mode_ = "required";
    root_ = root;
    dataDir_ = root + "/data";
    libraryDir_ = root;
    startServer();
    const std::string admin = enter("/Account/SignIn", "root", "admins-secret");
    const std::string bob = enter("/Account/Register", "bob", "bobs-secret");
    for (const char* path :
         {"/api/admin/learners", "/api/admin/figures", "/Admin", "/api/settings/opensubtitles"})
        EXPECT_EQ(std::make_pair(get(path, bob)->status, get(path, admin)->status),
                  std::make_pair(403, 200))
            << path;
    const auto learners = answer(get("/api/admin/learners", admin))["learners"];
    ASSERT_EQ(learners.size(), 2u);
    EXPECT_EQ(std::make_tuple(learners[0]["name"], learners[0]["admin"], learners[1]["admin"]),
              std::make_tuple(nlohmann::json("bob"), nlohmann::json(false), nlohmann::json(true)));
    const std::string bobId = std::to_string(learners[0]["id"].get<long long>());
    auto adminPost = [&](const std::string& what, const std::string& json, const std::string& as) {
        return post("/api/admin/learners/" + bobId + "/" + what, json, as, {}, "application/json")
            ->status;
    };
    EXPECT_EQ(adminPost("disabled", R"({"disabled": true})", bob), 403);
    EXPECT_EQ(adminPost("disabled", R"({"disabled": true})", admin), 204);
    EXPECT_EQ(get("/api/account", bob)->status, 401) << "disabling ends the sessions";
    EXPECT_EQ(post("/Account/SignIn", "name=bob&password=bobs-secret")->status, 401);
    EXPECT_EQ(adminPost("disabled", R"({"disabled": false})", admin), 204);
    EXPECT_EQ(adminPost("password", R"({"password": "reset-by-admin"})", admin), 204);
    EXPECT_EQ(post("/Account/SignIn", "name=bob&password=bobs-secret")->status, 401);
    EXPECT_FALSE(enter("/Account/SignIn", "bob", "reset-by-admin").empty());
}

class SharedSessions : public Accounts {
  protected:
    SharedSessions() { backend_ = Backend::Postgres; }
};

TEST_F(SharedSessions, SignInOnOneServiceSignOutOnTheOther) {
    start("required");
    auto first = std::move(server_);
    dataDir_ = root_ + "/other";
    startServer();
    const std::string cookie = enter("/Account/Register", "alice", "secret-one");
    std::swap(server_, first);  // to the first service
    EXPECT_EQ(get("/api/account", cookie)->status, 200);
    EXPECT_EQ(post("/Account/SignOut", "", cookie)->status, 303);
    std::swap(server_, first);
    EXPECT_EQ(get("/api/account", cookie)->status, 401);
}

}  // namespace
}  // namespace lirra::server::test
