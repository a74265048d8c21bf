// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerFixture.h"

#include <filesystem>
#include <fstream>

namespace lirra::server::test {

std::string makeTempDir() {
    std::string pattern = ::testing::TempDir() + "lirra-server-XXXXXX";
    EXPECT_NE(mkdtemp(pattern.data()), nullptr);
    return pattern;
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string srtFile(int cues, const std::string& textPrefix) {
    std::string out;
    char cue[96];
    for (int i = 0; i < cues; ++i) {  // within the hour
        std::snprintf(cue, sizeof cue, "%d\r\n00:%02d:%02d,000 --> 00:%02d:%02d,500\r\n", i + 1,
                      i / 30, i * 2 % 60, (i * 2 + 1) / 60, (i * 2 + 1) % 60);
        out += cue + textPrefix + " " + std::to_string(i + 1) + "\r\n\r\n";
    }
    return out;
}

lirra::test::PostgresCluster& postgresCluster() {
    static lirra::test::PostgresCluster cluster;
    return cluster;
}

void ServerFixture::SetUp() {
    if (backend_ == Backend::Postgres) {
        if (!lirra::test::PostgresCluster::installed())
            GTEST_SKIP() << "PostgreSQL 15's programs are not installed: not tried on PostgreSQL";
        databaseUri_ = postgresCluster().freshDatabase();
        ASSERT_NE(databaseUri_, "") << postgresCluster().error();
    }
    root_ = makeTempDir();
    dataDir_ = root_ + "/data";
    libraryDir_ = root_ + "/library";
    ASSERT_TRUE(std::filesystem::create_directory(libraryDir_));
    startServer();
}

void ServerFixture::startServer() {
    ServerOptions options;
    options.dataDirectory = dataDir_;
    options.libraryFolders = {libraryDir_};
    options.databaseUri = databaseUri_;
    options.databasePassword = databaseUri_.empty() ? "" : postgresCluster().password();
    configure(options);
    server_ = std::make_unique<Server>(options);
    ASSERT_EQ(server_->start(), "");
    ASSERT_NE(server_->port(), 0);
}

httplib::Client ServerFixture::client() {
    httplib::Client c("127.0.0.1", server_->port());
    c.set_read_timeout(30, 0);
    c.set_write_timeout(30, 0);
    return c;
}

httplib::Result ServerFixture::lookup(const std::string& fileName, const std::string& hash,
                                      const std::string& size) {
    return client().Post("/Player/GetSubtitlesToDownload",
                         "fileSize=" + size + "&movieHash=" + hash +
                             "&fileName=" + httplib::detail::encode_query_param(fileName) +
                             "&targetLanguageCode=eng&nativeLanguageCode=spa",
                         "application/x-www-form-urlencoded");
}

httplib::Result ServerFixture::upload(const std::vector<UploadPart>& parts) {
    // The app's body: CR LF, parts separated by "\r\n--B\r\n" (none: "--B\r\n\r\n--B--\r\n").
    const std::string b = "Xq9bT2mLr8ZkW4pYc7NdA1sVf6HgJ3uE0iOoPyRtQwEaSdFgHjKlZxCvBnMq1234";
    std::string body = "--" + b + "\r\n";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        body += (i ? "\r\n--" + b + "\r\n" : "") + "Content-Disposition: form-data; name=\"" +
                parts[i].name + "\"; filename=\"" + parts[i].fileName +
                "\"\r\nContent-Type: text/plain\r\n\r\n" + parts[i].content;
    }
    return client().Post("/Subtitles/UploadSubtitles", body + "\r\n--" + b + "--\r\n",
                         "multipart/form-data; boundary=" + b);
}

nlohmann::json ServerFixture::roundTrip(const std::string& fileName, const std::string& hash,
                                        const std::string& size) {
    auto looked = lookupJson(fileName, hash, size);
    std::vector<UploadPart> parts;
    for (const auto& entry : looked["subsToDownload"]) {
        if (!entry["mustBeDownloaded"].get<bool>()) continue;
        const std::string url = entry["downloadUrl"], path = pathOf(url);
        auto res = httplib::Client(url.substr(0, url.size() - path.size())).Get(path);
        if (!res || res->status != 200) continue;
        parts.push_back({std::to_string(entry["subtitleId"].get<long long>()), entry["subFileName"],
                         res->body});
    }
    EXPECT_EQ(answer(upload(parts))["stored"], parts.size());
    return looked;
}

httplib::Result ServerFixture::addText(long long videoId, const std::string& fileName,
                                       const std::string& text) {
    const nlohmann::json body = {{"fileName", fileName}, {"text", text}};
    return client().Post("/api/videos/" + std::to_string(videoId) + "/subtitles", body.dump(),
                         "application/json");
}

httplib::Result ServerFixture::send(const Ask& a) {
    auto c = client();
    return a.method == "GET"      ? c.Get(a.path, a.headers)
           : a.method == "PUT"    ? c.Put(a.path, a.headers, a.body, a.type)
           : a.method == "DELETE" ? c.Delete(a.path, a.headers)
                                  : c.Post(a.path, a.headers, a.body, a.type);
}

void ServerFixture::expectStatuses(const std::vector<Ask>& rows) {
    for (const auto& row : rows) {
        const auto res = send(row);
        const std::string what = row.method + " " + row.path.substr(0, 80) + " " +
                                 row.body.substr(0, 80) +
                                 (res ? "\n" + res->body.substr(0, 200) : "");
        ASSERT_TRUE(res) << what;
        EXPECT_EQ(res->status, row.status) << what;
        EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << what;
        if (row.status >= 400) {
            EXPECT_NE(nlohmann::json::parse(res->body, nullptr, false).value("error", ""), "")
                << what;
        }
    }
}

nlohmann::json ServerFixture::answer(const httplib::Result& res, int status) {
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, status) << res->body.substr(0, 400);
    return nlohmann::json::parse(res->body, nullptr, false);
}

std::string ServerFixture::pathOf(const std::string& url) {
    const auto scheme = url.find("://");
    const auto slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

}  // namespace lirra::server::test
