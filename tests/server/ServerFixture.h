// A real lirra server on an ephemeral loopback port over a temporary data directory and library.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lirra/server/Server.h"

namespace lirra::server::test {

std::string makeTempDir();
void removeTree(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

struct UploadPart {
    std::string name;
    std::string fileName;
    std::string content;
};

// The upload body exactly as the app builds it (CR LF, parts separated by "\r\n--B\r\n").
std::string clientMultipartBody(const std::string& boundary, const std::vector<UploadPart>& parts);

std::string srtFile(int cues, const std::string& textPrefix = "Line");

class ServerFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void startServer();
    void restartServer();
    // Options of a fixture's own beyond the data and library folders.
    virtual void configure(ServerOptions&) {}

    httplib::Client client();
    // POST the lookup form; fields as the app encodes them.
    httplib::Result lookup(const std::string& fileName, const std::string& hash = "8a3f2c",
                           const std::string& size = "734003200");
    nlohmann::json lookupJson(const std::string& fileName, const std::string& hash = "8a3f2c",
                              const std::string& size = "734003200");
    httplib::Result upload(const std::vector<UploadPart>& parts);
    // The app's whole flow: lookup, download what must be downloaded, upload it back.
    nlohmann::json roundTrip(const std::string& fileName, const std::string& hash = "8a3f2c",
                             const std::string& size = "734003200");
    nlohmann::json tracks(long long videoId);
    // Path of the server URL (Host of the base URL stripped), for the httplib client.
    static std::string pathOf(const std::string& url);

    std::string root_;
    std::string dataDir_;
    std::string libraryDir_;
    std::unique_ptr<Server> server_;
};

}  // namespace lirra::server::test
