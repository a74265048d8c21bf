// SPDX-License-Identifier: GPL-3.0-or-later
// The local hash against an independent one; the remote hash's exchanges on a fake client.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <fstream>
#include <random>

#include "ReferenceHash.h"
#include "fakes/FakeHttpClient.h"
#include "hash/OSHashAlgorithm.h"

namespace lirra {
namespace {

class OSHashAlgorithmTest : public ::testing::Test {
  protected:
    void SetUp() override {
        center_.addObserver(kHashComputedNotification, nullptr, [this](const Notification& n) {
            posts_.emplace_back(std::any_cast<VideoHash>(n.userInfo.at(kHashUserInfoKey)),
                                std::any_cast<std::uint64_t>(n.userInfo.at(kHashVideoUserInfoKey)));
        });
    }
    std::string write(const std::string& name, const std::string& content) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // The one result posted during the call.
    VideoHash hashOf(const std::string& path) {
        posts_.clear();
        algorithm_.computeHashForPath(QString::fromStdString(path), 3);
        EXPECT_TRUE(posts_.size() == 1 && posts_[0].second == 3) << path;  // tagged with its video
        EXPECT_TRUE(client_.exchanges_.empty());
        return posts_.empty() ? VideoHash{1, 1} : posts_[0].first;
    }

    QTemporaryDir dir_;
    NotificationCenter center_;
    fakes::FakeHttpClient client_;
    OSHashAlgorithm algorithm_{center_, client_};
    using Posts = std::vector<std::pair<VideoHash, std::uint64_t>>;  // and the video it is for
    Posts posts_;
};

TEST_F(OSHashAlgorithmTest, LocalFilesAgreeWithAnIndependentImplementationOrGiveZero) {
    std::mt19937_64 random(65536);
    for (std::size_t size :
         {65536, 65537, 131071, 131072, 131073, 65536 + int(random() % (2 << 20))}) {
        std::string content(size, '\0');
        for (char& byte : content) byte = static_cast<char>(random());
        const VideoHash hash = hashOf(write("video.mkv", content));
        EXPECT_EQ(OSHashAlgorithm::stringForHash(hash.fileHash), test::referenceHashText(content));
        EXPECT_EQ(hash.fileSize, size);
    }
    EXPECT_EQ(OSHashAlgorithm::stringForHash(0), "0");
    const std::string fifo = dir_.filePath("fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> paths{write("short", std::string(65535, 'x')),
                                         dir_.filePath("missing").toStdString(),
                                         dir_.path().toStdString(), fifo, std::string()};
    for (const std::string& path : paths) EXPECT_TRUE(hashOf(path).isZero()) << path;
}

TEST_F(OSHashAlgorithmTest, FilesOver4GiBUseFullOffsets) {
    // Sparse: the holes read as zeros and cost no disk.
    const std::uint64_t size = (5ull << 30) + 12345;
    const std::string path = dir_.filePath("large").toStdString();
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    const auto put = [fd](std::uint64_t word, std::uint64_t at) {
        return ::pwrite(fd, &word, 8, static_cast<off_t>(at)) == 8;
    };
    ASSERT_TRUE(put(0x0807060504030201ull, 0) && put(0x8070605040302010ull, size - 8));
    ASSERT_TRUE(put(~0ull, (size - 65536) & 0xffffffffu));  // where a 32-bit offset would read
    ::close(fd);
    EXPECT_EQ(hashOf(path),
              (VideoHash{size + 0x0807060504030201ull + 0x8070605040302010ull, size}));
}

// A HEAD, then the first and the last 64 KiB by ranges, each once the previous was answered.
TEST_F(OSHashAlgorithmTest, TheRemoteHashAsksForTheBlocksOneAfterTheOther) {
    const QByteArray first(65536, '\x01'), last(65536, '\x02');
    const UrlResponse head{200, 200000, {}, {}}, part1{206, -1, first, {}},
        part2{206, -1, last, {}}, whole1{200, -1, first, {}};  // a 200: the range ignored
    const VideoHash hashed{200000 + 8192 * 0x0101010101010101ull + 8192 * 0x0202020202020202ull,
                           200000};
    const struct {
        const char* what;
        std::vector<UrlResponse> answers;
        VideoHash posted;
    } rows[] = {
        {"all well", {head, part1, part2}, hashed},
        {"a range ignored: the start serves as the first block", {head, whole1, part2}, hashed},
        {"a range ignored for the last block", {head, part1, {200, -1, last, {}}}, {}},
        {"one block, ranges ignored",
         {{200, 65536, {}, {}}, whole1, whole1},
         {65536 + 2 * 8192 * 0x0101010101010101ull, 65536}},
        {"too short", {{200, 65535, {}, {}}}, {}},
        {"no length", {{200, -1, {}, {}}}, {}},
        {"an error page's length", {{404, 200000, {}, {}}}, {}},
        {"no answer", {{-1, -1, {}, "refused"}}, {}},
        {"a short block", {head, {206, -1, first.left(65535), {}}}, {}},
        {"a failed block", {head, {206, -1, first, "cut off"}}, {}},
        {"a long last block", {head, part1, {206, -1, last + "x", {}}}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        posts_.clear();
        client_.exchanges_.clear();
        algorithm_.computeHashForURL("http://media.test/v.mkv", 7);
        for (const UrlResponse& answer : row.answers) {
            ASSERT_TRUE(posts_.empty());
            ASSERT_EQ(client_.exchanges_.size(), std::size_t(&answer - row.answers.data() + 1));
            const auto completion = client_.exchanges_.back().completion;  // may add the next
            completion(answer);
        }
        EXPECT_EQ(client_.exchanges_.size(), row.answers.size());
        EXPECT_EQ(posts_, (Posts{{row.posted, 7}}));
    }
    // The requests: identity encoding (a compressed answer is not the file's bytes), 10 s each,
    // and a block's size at most, whatever a server that ignores the range would send.
    using Sent = std::tuple<QUrl, QByteArray, double, decltype(UrlRequest::headers), qint64>;
    std::vector<Sent> sent;  // by the last row
    for (const auto& [r, completion] : client_.exchanges_)
        sent.emplace_back(r.url, r.method, r.timeoutSeconds, r.headers, r.maxResponseBytes);
    const QUrl url("http://media.test/v.mkv");
    const std::pair<QByteArray, QByteArray> identity{"Accept-Encoding", "identity"};
    EXPECT_EQ(sent, (std::vector<Sent>{
                        {url, "HEAD", 10, {identity}, UrlRequest{}.maxResponseBytes},
                        {url, "GET", 10, {{"Range", "bytes=0-65535"}, identity}, 65536},
                        {url, "GET", 10, {{"Range", "bytes=134464-199999"}, identity}, 65536}}));
}

}  // namespace
}  // namespace lirra
