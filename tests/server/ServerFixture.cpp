#include "ServerFixture.h"

#include <ftw.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace lirra::server::test {

std::string makeTempDir() {
    std::string pattern = ::testing::TempDir() + "lirra-server-XXXXXX";
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    return pattern;
}

void removeTree(const std::string& path) {
    nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string clientMultipartBody(const std::string& boundary, const std::vector<UploadPart>& parts) {
    std::string body = "--" + boundary + "\r\n";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) body += "\r\n--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + parts[i].name + "\"; filename=\"" +
                parts[i].fileName + "\"\r\n";
        body += "Content-Type: text/plain\r\n\r\n";
        body += parts[i].content;
    }
    body += "\r\n--" + boundary + "--\r\n";
    return body;
}

std::string srtFile(int cues, const std::string& textPrefix) {
    std::string out;
    for (int i = 0; i < cues; ++i) {
        const int start = i * 2000;
        auto stamp = [](int ms) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                          ms / 1000 % 60, ms % 1000);
            return std::string(buf);
        };
        out += std::to_string(i + 1) + "\r\n" + stamp(start) + " --> " + stamp(start + 1500) +
               "\r\n" + textPrefix + " " + std::to_string(i + 1) + "\r\n\r\n";
    }
    return out;
}

void ServerFixture::SetUp() {
    root_ = makeTempDir();
    dataDir_ = root_ + "/data";
    libraryDir_ = root_ + "/library";
    ASSERT_EQ(::mkdir(libraryDir_.c_str(), 0700), 0);
    startServer();
}

void ServerFixture::TearDown() {
    if (server_) server_->stop();
    server_.reset();
    removeTree(root_);
}

void ServerFixture::startServer() {
    ServerOptions options;
    options.dataDirectory = dataDir_;
    options.libraryFolders = {libraryDir_};
    configure(options);
    server_ = std::make_unique<Server>(options);
    const std::string error = server_->start();
    ASSERT_EQ(error, "");
    ASSERT_NE(server_->port(), 0);
}

void ServerFixture::restartServer() {
    server_->stop();
    server_.reset();
    startServer();
}

httplib::Client ServerFixture::client() {
    httplib::Client c("127.0.0.1", server_->port());
    c.set_read_timeout(30, 0);
    c.set_write_timeout(30, 0);
    return c;
}

httplib::Result ServerFixture::lookup(const std::string& fileName, const std::string& hash,
                                      const std::string& size) {
    const std::string body = "fileSize=" + size + "&movieHash=" + hash +
                             "&fileName=" + httplib::detail::encode_query_param(fileName) +
                             "&targetLanguageCode=eng&nativeLanguageCode=spa";
    return client().Post("/Player/GetSubtitlesToDownload", body,
                         "application/x-www-form-urlencoded");
}

nlohmann::json ServerFixture::lookupJson(const std::string& fileName, const std::string& hash,
                                         const std::string& size) {
    auto res = lookup(fileName, hash, size);
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, 200) << res->body;
    return nlohmann::json::parse(res->body, nullptr, false);
}

httplib::Result ServerFixture::upload(const std::vector<UploadPart>& parts) {
    const std::string boundary = "Xq9bT2mLr8ZkW4pYc7NdA1sVf6HgJ3uE0iOoPyRtQwEaSdFgHjKlZxCvBnMq1234";
    return client().Post("/Subtitles/UploadSubtitles", clientMultipartBody(boundary, parts),
                         "multipart/form-data; boundary=" + boundary);
}

std::string ServerFixture::pathOf(const std::string& url) {
    const auto scheme = url.find("://");
    const auto slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

nlohmann::json ServerFixture::roundTrip(const std::string& fileName, const std::string& hash,
                                        const std::string& size) {
    auto answer = lookupJson(fileName, hash, size);
    std::vector<UploadPart> parts;
    for (const auto& entry : answer["subsToDownload"]) {
        if (!entry["mustBeDownloaded"].get<bool>()) continue;
        auto res = client().Get(pathOf(entry["downloadUrl"].get<std::string>()));
        EXPECT_TRUE(res);
        if (!res || res->status != 200) continue;
        parts.push_back({std::to_string(entry["subtitleId"].get<long long>()),
                         entry["subFileName"].get<std::string>(), res->body});
    }
    auto res = upload(parts);
    EXPECT_TRUE(res);
    if (res) {
        EXPECT_EQ(res->status, 200) << res->body;
    }
    return answer;
}

nlohmann::json ServerFixture::tracks(long long videoId) {
    auto res = client().Get("/api/videos/" + std::to_string(videoId) + "/tracks");
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, 200) << res->body;
    return nlohmann::json::parse(res->body, nullptr, false);
}

}  // namespace lirra::server::test
