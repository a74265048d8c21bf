// The hash of local files against an independent implementation, and the files that have none;
// no network (the fake HTTP client records anything the algorithm sends).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "ReferenceHash.h"
#include "fakes/FakeHttpClient.h"
#include "hash/OSHashAlgorithm.h"

namespace lirra {
namespace {

namespace fs = std::filesystem;

class OSHashAlgorithmTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(directory_);
        center_.addObserver(kHashComputedNotification, nullptr, [this](const Notification& n) {
            posts_.push_back(std::any_cast<VideoHash>(n.userInfo.at(kHashUserInfoKey)));
        });
    }
    void TearDown() override {
        fs::remove_all(directory_);
        EXPECT_TRUE(client_.exchanges_.empty() && client_.connections_.empty());
    }

    std::string write(const std::string& name, const std::string& content) {
        const std::string path = (directory_ / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // Hashes the file and returns the one result posted during the call.
    VideoHash hashOf(const std::string& path) {
        posts_.clear();
        algorithm_.computeHashForPath(QString::fromStdString(path));
        EXPECT_EQ(posts_.size(), 1u) << path;
        return posts_.empty() ? VideoHash{1, 1} : posts_.front();
    }

    fs::path directory_ = fs::temp_directory_path() / ("lirra-hash-" + std::to_string(::getpid()));
    NotificationCenter center_;
    fakes::FakeHttpClient client_;
    OSHashAlgorithm algorithm_{center_, client_};
    std::vector<VideoHash> posts_;
};

TEST_F(OSHashAlgorithmTest, AgreesWithAnIndependentImplementation) {
    const auto seed = std::random_device{}();
    std::mt19937_64 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (std::size_t size : {65536, 65537, 131073, 65536 + int(random() % (2u << 20))}) {
        std::string content(size, '\0');
        for (char& byte : content) byte = static_cast<char>(random());
        const VideoHash hash = hashOf(write("video.mkv", content));
        EXPECT_EQ(OSHashAlgorithm::stringForHash(hash.fileHash), test::referenceHashText(content));
        EXPECT_EQ(hash.fileSize, size);
    }
}

TEST_F(OSHashAlgorithmTest, UnusableFilesGiveTheZeroResultOnce) {
    const std::string fifo = (directory_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string unreadable = write("unreadable", std::string(70000, 'x'));
    ::chmod(unreadable.c_str(), 0);
    std::vector<std::string> paths{write("short", std::string(65535, 'x')),
                                   (directory_ / "missing").string(), directory_.string(), fifo,
                                   std::string()};
    if (::geteuid() != 0) paths.push_back(unreadable);  // root reads anything
    for (const std::string& path : paths) EXPECT_TRUE(hashOf(path).isZero()) << path;
}

TEST_F(OSHashAlgorithmTest, FilesOver4GiBUseFullOffsets) {
    // Sparse: the holes read as zeros and cost no disk.
    const std::uint64_t size = (5ull << 30) + 12345;
    const std::string path = (directory_ / "large").string();
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    const unsigned char head[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const unsigned char tail[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
    ASSERT_EQ(::pwrite(fd, head, 8, 0), 8);
    ASSERT_EQ(::pwrite(fd, tail, 8, static_cast<off_t>(size - 8)), 8);
    // What a 32-bit offset would read instead of the last block.
    const unsigned char decoy[8] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    ASSERT_EQ(::pwrite(fd, decoy, 8, static_cast<off_t>((size - 65536) & 0xffffffffu)), 8);
    ::close(fd);

    const VideoHash hash = hashOf(path);
    EXPECT_EQ(hash.fileSize, size);
    EXPECT_EQ(hash.fileHash, size + 0x0807060504030201ull + 0x8070605040302010ull);
}

TEST_F(OSHashAlgorithmTest, BlocksFromElsewhere) {
    // Only the first 64 KiB of a longer block count; a shorter one is never read past its end.
    const QByteArray block(65536, '\x01');
    algorithm_.computeHashWithFileSize(1000000, block, block + QByteArray(100, '\xff'));
    algorithm_.computeHashWithFileSize(1000000, block, block.left(65535));
    ASSERT_EQ(posts_.size(), 2u);
    EXPECT_EQ(posts_[0].fileHash, 1000000 + 2 * (0x0101010101010101ull * 8192));
    EXPECT_TRUE(posts_[1].isZero());
}

}  // namespace
}  // namespace lirra
