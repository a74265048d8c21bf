// SPDX-License-Identifier: GPL-3.0-or-later
// What an administrator relies on: the client's address behind a trusted proxy, the health
// routes, an online backup beside a writer, and the nginx site's body limit against the routes'.
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <thread>

#include "ServerFixture.h"
#include "http/ClientAddress.h"
#include "http/HttpAdapter.h"
#include "service/Service.h"
#include "store/SqliteBackup.h"
#include "store/SqliteMigrations.h"
#include "store/SqliteStore.h"

namespace lirra::server::test {
namespace {

IpAddress ip(const char* text) { return parseIpAddress(text).value(); }

TEST(ClientAddress, OnlyATrustedPeerNamesTheClientAndOnlyItsOwnHop) {
    const ClientAddress proxies({ip("10.0.0.1"), ip("::1"), ip("10.0.0.2")});
    struct Row {
        const char* peer;
        std::vector<std::string> forwardedFor;
        const char* client;
    };
    const Row rows[] = {
        {"203.0.113.9", {}, "203.0.113.9"},
        {"203.0.113.9", {"198.51.100.1"}, "203.0.113.9"},  // anyone may write the header
        {"10.0.0.1", {}, "10.0.0.1"},
        {"10.0.0.1", {"198.51.100.1"}, "198.51.100.1"},
        {"10.0.0.1", {"1.1.1.1, 198.51.100.1"}, "198.51.100.1"},  // the left is the client's say
        {"10.0.0.1", {"198.51.100.1, 10.0.0.2"}, "198.51.100.1"},
        {"10.0.0.1", {"198.51.100.1", "10.0.0.2"}, "198.51.100.1"},  // headers in order
        {"10.0.0.1", {"10.0.0.2,::1"}, "10.0.0.2"},                  // every hop trusted
        {"10.0.0.1", {"1.1.1.1, proxy.lan"}, "10.0.0.1"},            // the hop that said it
        {"10.0.0.1", {"198.51.100.1:4711"}, "10.0.0.1"},
        {"10.0.0.1", {"1.1.1.1,"}, "10.0.0.1"},
        {"10.0.0.1", {"\t2001:DB8:0::1 "}, "2001:db8::1"},
        {"::ffff:10.0.0.1", {"198.51.100.1"}, "198.51.100.1"},  // a dual-stack socket's peer
        {"::1", {"::ffff:198.51.100.7"}, "198.51.100.7"},
        {"::2", {"198.51.100.1"}, "::2"},
    };
    for (const auto& row : rows) {
        std::string told;
        for (const auto& value : row.forwardedFor) told += "[" + value + "]";
        EXPECT_EQ(proxies.resolve(row.peer, row.forwardedFor), row.client) << row.peer << told;
        EXPECT_EQ(ClientAddress().resolve(row.peer, row.forwardedFor), ipAddressText(ip(row.peer)))
            << row.peer << told;
    }
    for (const char* bad : {"", "10.0.0", "10.0.0.256", "::1::", "[::1]", "localhost"})
        EXPECT_FALSE(parseIpAddress(bad)) << bad;
}

// Each request's remoteAddress, over real HTTP on loopback, from what the adapter was told.
TEST(ClientAddress, TheAdapterGivesHandlersTheResolvedAddress) {
    for (const auto& [trusted, client] :
         {std::pair<const char*, const char*>{"127.0.0.1", "198.51.100.1"},
          {"10.0.0.1", "127.0.0.1"}}) {
        HttpServer http(
            {{"GET", "/who", 0,
              [](const HttpRequest& r) { return HttpResponse::text(200, r.remoteAddress); }}},
            2);
        std::uint16_t port = 0;
        ASSERT_EQ(http.bind("127.0.0.1", 0, port), "");
        http.setClientAddress(ClientAddress({ip(trusted)}));
        std::thread serving([&http] { http.run(); });
        ASSERT_TRUE(http.waitUntilRunning(std::chrono::seconds(10)));
        const auto res = httplib::Client("127.0.0.1", port)
                             .Get("/who", {{"X-Forwarded-For", "1.1.1.1, 198.51.100.1"}});
        http.stop();
        serving.join();
        ASSERT_TRUE(res);
        EXPECT_EQ(res->body, client) << trusted;
    }
    ServerOptions options;
    options.trustedProxies = {"::1", "proxy.lan"};
    EXPECT_EQ(Server(options).start(), "a trusted proxy must be a numeric IP address: proxy.lan");
}

TEST(Health, LivenessAsksNothingAndReadinessFollowsTheSchema) {
    const std::string root = makeTempDir();
    ServerOptions options;
    options.dataDirectory = root + "/data";
    options.secret = std::string(40, 'k');
    options.trustedProxies = {"127.0.0.1"};
    Server server(options);
    ASSERT_EQ(server.start(), "");
    httplib::Client client("127.0.0.1", server.port());
    const httplib::Headers key = {{kSecretHeader, options.secret}};
    const auto expect = [&](const char* path, int status, const std::string& body) {
        const auto res = client.Get(path, key);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, status) << path;
        EXPECT_EQ(res->body, body) << path;
        EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store") << path;
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8") << path;
        EXPECT_EQ(res->get_header_value("Retry-After"), status == 503 ? "5" : "") << path;
    };
    expect("/healthz", 200, "ok");
    expect("/readyz", 200, "ready");
    // The service's own checks still apply: its secret, its host names; a refusal is logged
    // with the client's address as the proxy gave it.
    testing::internal::CaptureStderr();
    EXPECT_EQ(client.Get("/healthz", {{"X-Forwarded-For", "198.51.100.4"}})->status, 401);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "lirra-server: refused a request from 198.51.100.4 (401)\n");
    httplib::Headers elsewhere = key;
    elsewhere.emplace("Host", "lirra.example");
    EXPECT_EQ(client.Get("/readyz", elsewhere)->status, 421);
    ASSERT_EQ(std::system(("sqlite3 '" + options.dataDirectory +
                           "/lirra.sqlite3' 'PRAGMA user_version = 99'")
                              .c_str()),
              0);
    expect("/readyz", 503,
           "not ready: the store has schema version 99, this build's is " +
               std::to_string(latestSchemaVersion()));
    expect("/healthz", 200, "ok");
    server.stop();
    removeTree(root);
}

std::vector<std::string> words(const char* prefix, int count) {
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i) list.push_back(prefix + std::to_string(100000 + i));
    return list;
}

TEST(Backup, CopiesWhatWasCommittedWhileAWriterGoesOn) {
    const std::string root = makeTempDir();
    std::string error;
    auto store = SqliteStore::open(root + "/data", error);
    ASSERT_TRUE(store) << error;
    // Enough pages that the copy takes many steps, each letting the writer in.
    const auto before = words("before", 20000);
    std::int64_t changed = 0;
    ASSERT_EQ(store->importWords(before, "known", changed, error), StoreStatus::Ok) << error;
    std::atomic<bool> stop = false;
    std::atomic<int> written = 0;
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            std::string e;
            if (store->setWordStatus("during" + std::to_string(i), "during" + std::to_string(i),
                                     "learning", e) == StoreStatus::Ok)
                ++written;
        }
    });
    while (written < 5) std::this_thread::yield();
    ASSERT_EQ(mkdir((root + "/copy").c_str(), 0700), 0);
    const std::string copy = root + "/copy/" + kSqliteFileName;
    const bool copied = backupSqliteStore(root + "/data", copy, error);
    stop = true;
    writer.join();
    ASSERT_TRUE(copied) << error;
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::system(("test \"$(ls -A '" + root + "/copy')\" = " + kSqliteFileName).c_str()),
              0);  // no temporary left beside it
    std::ifstream header(copy, std::ios::binary);
    header.seekg(18);
    EXPECT_EQ(header.get(), 1);  // a rollback journal's file: whole in itself
    {
        auto db = sqlite::Connection::open(copy, error);
        ASSERT_TRUE(db) << error;
        auto version = db->statement("PRAGMA user_version");
        ASSERT_EQ(version.step(), sqlite::Statement::Step::Row);
        EXPECT_EQ(version.columnInt(0), latestSchemaVersion());
    }
    auto restored = SqliteStore::open(root + "/copy", error);
    ASSERT_TRUE(restored) << error;
    std::vector<std::string> known;
    WordCounts counts;
    ASSERT_EQ(restored->markedWords("known", known, counts, error), StoreStatus::Ok) << error;
    EXPECT_EQ(known, before);
    EXPECT_GE(counts.learning, 5);
    EXPECT_LE(counts.learning, written);
    restored.reset();
    // Never over a file, nor from a folder with no store.
    const auto sizeOf = [](const std::string& path) {
        struct stat s {};
        return stat(path.c_str(), &s) == 0 ? s.st_size : -1;
    };
    const auto size = sizeOf(copy);
    EXPECT_FALSE(backupSqliteStore(root + "/data", copy, error));
    EXPECT_EQ(error, copy + " exists; a backup never replaces a file");
    EXPECT_EQ(sizeOf(copy), size);
    EXPECT_FALSE(backupSqliteStore(root + "/none", root + "/other", error));
    EXPECT_EQ(error, "no store at " + root + "/none/" + kSqliteFileName);
    removeTree(root);
}

// The proxy must let through every body the service takes, and the service's own limit (413)
// stays the one that speaks.
TEST(Deployment, TheNginxSiteTakesTheLargestBodyTheServiceDoes) {
    std::ifstream in(LIRRA_SOURCE_DIR "/data/lirra-server.nginx");
    const std::string site((std::istreambuf_iterator<char>(in)), {});
    std::smatch limit;
    ASSERT_TRUE(std::regex_search(site, limit, std::regex("\n +client_max_body_size ([0-9]+)m;")));
    const std::string root = makeTempDir();
    std::string error;
    auto store = SqliteStore::open(root, error);
    ASSERT_TRUE(store) << error;
    Library library{1024};
    const ServiceContext context{*store, library, ServiceLimits{}, [] { return std::string(); }};
    std::size_t largest = 0;
    for (const auto& route : serviceRoutes(context))
        largest = std::max(largest, route.maxBodyBytes);
    EXPECT_EQ(std::stoull(limit[1]) * 1024 * 1024, largest);
    removeTree(root);
}

}  // namespace
}  // namespace lirra::server::test
