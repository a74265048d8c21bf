// `lirra --hash` as a user runs it, checked against an independent implementation on random
// files of many sizes, read locally and served over http with ranges.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <random>

#include "ReferenceHash.h"
#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

RunResult runLirra(const QStringList& arguments) {
    QProcess process;
    // No display: the command must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen-not-available");
    process.setProcessEnvironment(environment);
    process.start(LIRRA_EXECUTABLE, arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

class HashCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ensureCoreApplication();
        directory_ = fs::temp_directory_path() / ("lirra-hash-cli-" + std::to_string(::getpid()));
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    fs::path directory_;
};

TEST_F(HashCommandTest, AgreesWithAnIndependentImplementationLocallyAndOverHttp) {
    const auto seed = std::random_device{}();
    std::mt19937_64 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<std::size_t> sizes = {65536, 65537, 131071, 131073};
    for (int i = 0; i < 4; ++i) sizes.push_back(65536 + random() % (4u << 20));

    std::vector<std::pair<std::string, std::string>> files;  // name, expected output
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::string content(sizes[i], '\0');
        for (char& byte : content) byte = static_cast<char>(random());
        const std::string name = "video " + std::to_string(i) + ".mkv";
        std::ofstream(directory_ / name, std::ios::binary) << content;
        const std::string onDisk = test::readWholeFile((directory_ / name).string());
        ASSERT_EQ(onDisk.size(), sizes[i]);
        files.emplace_back(name,
                           test::referenceHashText(onDisk) + " " + std::to_string(sizes[i]) + "\n");
    }

    test::LoopbackHttpServer server;
    ASSERT_TRUE(server.server().set_mount_point("/videos", directory_.string()));
    ASSERT_TRUE(server.start());

    for (const auto& [name, expected] : files) {
        const RunResult local =
            runLirra({"--hash", QString::fromStdString((directory_ / name).string())});
        EXPECT_EQ(local.exitCode, 0) << local.err;
        EXPECT_EQ(local.out, expected) << name;

        server.clearRequests();
        const QString url =
            QString::fromStdString(server.url("/videos/")) +
            QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(name)));
        const RunResult remote = runLirra({"--hash", url});
        EXPECT_EQ(remote.exitCode, 0) << remote.err;
        EXPECT_EQ(remote.out, expected) << url.toStdString();
        EXPECT_EQ(server.requestCount(), 3u);
    }
}

TEST_F(HashCommandTest, ExplainsWhenNoHashCanBeComputed) {
    const std::string shortFile = (directory_ / "short.mp4").string();
    std::ofstream(shortFile, std::ios::binary) << std::string(65535, 'x');

    test::LoopbackHttpServer server;
    ASSERT_TRUE(server.server().set_mount_point("/", directory_.string()));
    ASSERT_TRUE(server.start());

    for (const std::string& location : {shortFile, (directory_ / "missing.mp4").string(),
                                        server.url("/short.mp4"), server.url("/missing.mp4")}) {
        const RunResult run = runLirra({"--hash", QString::fromStdString(location)});
        EXPECT_EQ(run.exitCode, 1) << location;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_NE(run.err.find("cannot hash " + location), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace lirra
