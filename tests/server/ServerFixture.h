// SPDX-License-Identifier: GPL-3.0-or-later
// A real lirra server on an ephemeral loopback port over a temporary data directory and library,
// with the app's own requests to it.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "PostgresCluster.h"
#include "lirra/server/Server.h"

namespace lirra::server::test {

// The store a fixture's service keeps its data in.
enum class Backend { Sqlite, Postgres };
inline const auto kBothBackends = ::testing::Values(Backend::Sqlite, Backend::Postgres);
inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}
// The process's test cluster, started at the first use and removed at exit.
lirra::test::PostgresCluster& postgresCluster();

std::string makeTempDir();
void removeTree(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// A SubRip file as libraries hold them (CR LF): cue N from 2N - 2 s to 2N - 0.5 s, "PREFIX N".
std::string srtFile(int cues, const std::string& textPrefix = "Line");

struct UploadPart {
    std::string name, fileName, content;
};

// A row of a table of requests: what is sent and the status it must get.
struct Ask {
    std::string method, path;
    int status;
    std::string body = {}, type = {};
    httplib::Headers headers = {};
};

class ServerFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override {
        server_.reset();
        removeTree(root_);
    }

    void startServer();
    void restartServer() {
        server_.reset();
        startServer();
    }
    // Options of a fixture's own beyond the data and library folders.
    virtual void configure(ServerOptions&) {}

    httplib::Client client();
    // The lookup form, the upload body and the whole flow (lookup, download what must be from
    // wherever it is offered, upload it back) exactly as the app sends them.
    httplib::Result lookup(const std::string& fileName, const std::string& hash = "8a3f2c",
                           const std::string& size = "734003200");
    nlohmann::json lookupJson(const std::string& fileName, const std::string& hash = "8a3f2c",
                              const std::string& size = "734003200") {
        return answer(lookup(fileName, hash, size));
    }
    httplib::Result upload(const std::vector<UploadPart>& parts);
    nlohmann::json roundTrip(const std::string& fileName, const std::string& hash = "8a3f2c",
                             const std::string& size = "734003200");
    nlohmann::json tracks(long long videoId) {
        return answer(client().Get("/api/videos/" + std::to_string(videoId) + "/tracks"));
    }
    // A learner's file added from the page as JSON text, and the answer (201 when added).
    httplib::Result addText(long long videoId, const std::string& fileName,
                            const std::string& text);
    httplib::Result send(const Ask& ask);
    // Sends each row: its status, no sniffing of any answer, and a refusal that says why.
    void expectStatuses(const std::vector<Ask>& rows);
    // The JSON of an answer that must have come with `status`.
    static nlohmann::json answer(const httplib::Result& res, int status = 200);
    // The path of a URL the server gave, for the httplib client.
    static std::string pathOf(const std::string& url);

    Backend backend_ = Backend::Sqlite;  // chosen before SetUp
    std::string databaseUri_;            // a fresh database of the cluster's on Postgres
    std::string root_;
    std::string dataDir_;
    std::string libraryDir_;
    std::unique_ptr<Server> server_;
};

// A ServerFixture whose test body runs on each backend: TEST_P, and
// INSTANTIATE_TEST_SUITE_P(Backends, Name, kBothBackends, backendName).
template <class Fixture = ServerFixture>
class OnBothBackends : public Fixture, public ::testing::WithParamInterface<Backend> {
  protected:
    void SetUp() override {
        this->backend_ = GetParam();
        Fixture::SetUp();
    }
};

}  // namespace lirra::server::test
