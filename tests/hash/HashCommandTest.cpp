// SPDX-License-Identifier: GPL-3.0-or-later
// `lirra --hash` without a display, on a random file locally and over http (ranges), against an
// independent hash; and why not, when it cannot.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <random>

#include "ReferenceHash.h"
#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

// Its exit code (-1: it crashed), standard output and standard error.
std::tuple<int, std::string, std::string> runLirra(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
    environment.insert("QT_QPA_PLATFORM", "offscreen-not-available");
    process.setProcessEnvironment(environment);
    process.start(LIRRA_EXECUTABLE, arguments);
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
        const auto [code, out, err] = runLirra({"--hash", QString::fromStdString(location)});
        EXPECT_EQ(std::pair(code, out), std::pair(0, expected)) << location << err;
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
        const auto [code, out, err] = runLirra({"--hash", QString::fromStdString(location)});
        const bool said = err.find("lirra: cannot hash " + location + ": " + why) != err.npos;
        EXPECT_EQ(std::tuple(code, out, said), std::tuple(1, "", true)) << location << "\n" << err;
    }
}

// Answers before any window: options, version, usage errors (exit 2), an unreadable key file.
TEST(HashCommandTest, TheProgramAnswersItsOptionsWithoutAWindow) {
    test::ensureCoreApplication();
    const struct {
        QStringList arguments;
        int exitCode;
        std::string out, err;  // what each begins with; empty: nothing
    } rows[] = {
        {{"-h"}, 0, "usage: lirra [options] [--] [VIDEO_FILE_OR_URL]\n", ""},
        {{"--version"}, 0, "lirra " LIRRA_PROJECT_VERSION "\n", ""},
        {{"--fullscreen"}, 2, "", "lirra: Unknown option 'fullscreen'.\nusage: lirra"},
        {{"--anki-key", "k"}, 2, "", "lirra: Unknown option 'anki-key'."},
        {{"--base-url"}, 2, "", "lirra: Missing value after '--base-url'."},
        {{"--base-url", "http://127.0.0.1:9/", "--anki-key-file", "/nonexistent/key"},
         2,
         "",
         "lirra: cannot read a key from /nonexistent/key"},
    };
    const auto start = [](const std::string& text, const std::string& like) {
        return like.empty() ? text : text.substr(0, like.size());
    };
    for (const auto& row : rows) {
        const auto [code, out, err] = runLirra(row.arguments);
        EXPECT_EQ(std::tuple(code, start(out, row.out), start(err, row.err)),
                  std::tuple(row.exitCode, row.out, row.err))
            << row.arguments.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace lirra
