// `lirra --hash` as a user runs it, without a display: a random file read locally and served over
// http with ranges, checked against an independent implementation, and what it says when no
// hash can be computed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <random>

#include "ReferenceHash.h"
#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

RunResult runLirra(const std::string& location) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen-not-available");
    process.setProcessEnvironment(environment);
    process.start(LIRRA_EXECUTABLE, {"--hash", QString::fromStdString(location)});
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

TEST(HashCommandTest, PrintsTheHashOfAFileOrAUrlOrSaysWhyNot) {
    test::ensureCoreApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string directory = dir.path().toStdString();
    std::mt19937_64 random(2024);
    std::string content(65536 + random() % (4u << 20), '\0');
    for (char& byte : content) byte = static_cast<char>(random());
    std::ofstream(directory + "/video 1.mkv", std::ios::binary) << content;
    std::ofstream(directory + "/short.mp4", std::ios::binary) << std::string(65535, 'x');
    const std::string expected =
        test::referenceHashText(content) + " " + std::to_string(content.size()) + "\n";

    test::LoopbackHttpServer server;
    ASSERT_TRUE(server.server().set_mount_point("/videos", directory));
    ASSERT_TRUE(server.start());
    for (const std::string& location :
         {directory + "/video 1.mkv", server.url("/videos/video%201.mkv")}) {
        const RunResult run = runLirra(location);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expected) << location;
    }
    EXPECT_EQ(server.requestCount(), 3u);

    // Each failure says which of: missing, not readable, too small (a file of 65535 bytes).
    const std::vector<std::pair<std::string, std::string>> failures = {
        {directory + "/short.mp4", "too small: 65535 bytes, where a video has at least 65536"},
        {directory + "/missing.mp4", "no such file"},
        {directory, "not readable: it is a folder"},
        {server.url("/videos/short.mp4"), "the server did not answer with its length"},
    };
    for (const auto& [location, why] : failures) {
        const RunResult run = runLirra(location);
        EXPECT_EQ(run.exitCode, 1) << location;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_NE(run.err.find("lirra: cannot hash " + location + ": " + why), std::string::npos)
            << run.err;
    }
}

}  // namespace
}  // namespace lirra
