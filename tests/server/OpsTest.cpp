// SPDX-License-Identifier: GPL-3.0-or-later
// What an administrator relies on: the client's address behind a trusted proxy, the health
// routes, an online backup beside a writer.
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "ServerFixture.h"
#include "http/ClientAddress.h"
#include "http/Http.h"
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
        const std::string told = testing::PrintToString(row.forwardedFor);
        EXPECT_EQ(proxies.resolve(row.peer, row.forwardedFor), row.client) << row.peer << told;
        EXPECT_EQ(ClientAddress().resolve(row.peer, row.forwardedFor), ipAddressText(ip(row.peer)))
            << row.peer << told;
    }
    for (const char* bad : {"", "10.0.0", "10.0.0.256", "::1::", "[::1]", "localhost"})
        EXPECT_FALSE(parseIpAddress(bad)) << bad;
}

// Over real HTTP: liveness and readiness under the service's own checks, and a refusal logged
// with the client's address as the trusted proxy gave it.
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
    options.trustedProxies.push_back("proxy.lan");
    EXPECT_EQ(Server(options).start(), "a trusted proxy must be a numeric IP address: proxy.lan");
    removeTree(root);
}

TEST(Backup, CopiesWhatWasCommittedWhileAWriterGoesOn) {
    const std::string root = makeTempDir();
    std::string error;
    auto store = SqliteStore::open(root + "/data", error);
    ASSERT_TRUE(store) << error;
    // Enough pages that the copy takes many steps, each letting the writer in.
    std::vector<std::string> before;
    for (int i = 0; i < 20000; ++i) before.push_back("before" + std::to_string(100000 + i));
    std::int64_t changed = 0;
    ASSERT_EQ(store->importWords(kImplicitLearner, before, "known", changed, error),
              StoreStatus::Ok)
        << error;
    std::atomic<bool> stop = false;
    std::atomic<int> written = 0;
    std::thread writer([&] {
        for (std::string e; !stop; ++written) {
            const std::string word = "during" + std::to_string(written);
            ASSERT_EQ(store->setWordStatus(kImplicitLearner, word, word, "learning", e),
                      StoreStatus::Ok)
                << e;
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
    EXPECT_EQ(std::system(("test \"$(sqlite3 '" + copy +
                           "' 'PRAGMA user_version')\" = " + std::to_string(latestSchemaVersion()))
                              .c_str()),
              0);
    auto restored = SqliteStore::open(root + "/copy", error);
    ASSERT_TRUE(restored) << error;
    std::vector<std::string> known;
    WordCounts counts;
    ASSERT_EQ(restored->markedWords(kImplicitLearner, "known", known, counts, error),
              StoreStatus::Ok)
        << error;
    EXPECT_EQ(known, before);
    EXPECT_GE(counts.learning, 5);
    EXPECT_LE(counts.learning, written);
    restored.reset();
    // Never over a file, nor from a folder with no store.
    EXPECT_FALSE(backupSqliteStore(root + "/data", copy, error));
    EXPECT_EQ(error, copy + " exists; a backup never replaces a file");
    EXPECT_FALSE(backupSqliteStore(root + "/none", root + "/other", error));
    EXPECT_EQ(error, "no store at " + root + "/none/" + kSqliteFileName);
    removeTree(root);
}

}  // namespace
}  // namespace lirra::server::test
