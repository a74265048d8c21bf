// SPDX-License-Identifier: GPL-3.0-or-later
// What the launch arguments and the settings make of the app's start, each reading as one line of
// text, and where a video's kind (file or URL) is decided.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>

#include "app/CommandLine.h"
#include "support/qt/QtPrinters.h"

namespace lirra {
namespace {

// The reading, and the settings the options wrote, as one line.
QString reading(const QStringList& arguments, UserDefaults defaults = {}) {
    const CommandLine line = readCommandLine(arguments, defaults);
    if (!line.error.isEmpty()) return QStringLiteral("error");
    QStringList parts;
    if (line.help) parts << "help";
    if (line.version) parts << "version";
    if (line.verbose) parts << "verbose";
    if (!line.location.isEmpty())
        parts << "video " + QString(line.location).replace(QDir::currentPath(), ".");
    if (line.hashLocation)
        parts << QString(line.hashLocation->isUrl() ? "hash url " : "hash file ") +
                     line.hashLocation->text;
    if (line.baseUrl) parts << "base " + *line.baseUrl;
    for (const char* key : {"file-name", "data", "instance", "hwdec", "anki-key-file", "anki-url",
                            "opensubtitles-key-file", "opensubtitles-url"}) {
        if (const auto value = defaults.stringForKey(key))
            parts << QString::fromLatin1(key) + "=" + QString::fromStdString(*value);
    }
    if (!line.notices.isEmpty()) parts << "notice: " + line.notices.join(" / ");
    return parts.join(", ");
}

TEST(CommandLine, ReadsEveryFormOfOptionVideoAndUrl) {
    // "ARGUMENTS → READING", the arguments split at "|". A flag does not take the video after it as
    // its value. Refused: what is not an option of ours, a missing or unexpected value, a secret
    // on the command line, a file of another machine, a base URL that is no http root.
    for (const QString row :
         {"-h → help", "--help|clip.mkv → help", "-v → version",
          "--base-url|http://10.1.2.3:8080 → base http://10.1.2.3:8080/",
          "--base-url=http://h:1/x → base http://h:1/x/",
          "--file-name|Talk.mkv|--data=/d|--instance|i|--hwdec=vaapi → file-name=Talk.mkv, "
          "data=/d, instance=i, hwdec=vaapi",
          "--anki-key-file|/k|--anki-url=http://127.0.0.1:9 → anki-key-file=/k, "
          "anki-url=http://127.0.0.1:9",
          "--opensubtitles-key-file|/o|--opensubtitles-url=http://o.test → "
          "opensubtitles-key-file=/o, opensubtitles-url=http://o.test",
          "--verbose|clip.mkv → verbose, video ./clip.mkv",
          "clip.mkv|--verbose → verbose, video ./clip.mkv", "--|--odd.mkv → video ./--odd.mkv",
          "dir/../a b.mkv → video ./a b.mkv",
          "file:///tmp/My%20Film%23.mkv → video /tmp/My Film#.mkv",
          "--|FILE://localhost/tmp/a.mkv → video /tmp/a.mkv",
          "http://media.test/a%20b.mkv → video http://media.test/a%20b.mkv",
          "--hash|file:///tmp/a%C3%A9.mkv → hash file /tmp/a\u00e9.mkv",
          "--hash=https://media.test/a.mkv → hash url https://media.test/a.mkv",
          "a.mkv|b.mkv → video ./a.mkv, notice: playing a.mkv; the other video is left out",
          "a|b|c → video ./a, notice: playing a; 2 other videos are left out"}) {
        const auto at = row.indexOf(" → ");
        EXPECT_EQ(reading(row.left(at).split('|')), row.mid(at + 3)) << row.toStdString();
    }
    for (const QString refused :
         {"--fullscreen|a.mkv", "-x", "--anki-key|secret", "--base-url", "--verbose=1",
          "file://nas/films/a.mkv", "--hash|file://nas/a.mkv", "--base-url|ftp://host/",
          "--base-url|127.0.0.1:5000", "--base-url|http://h/?q=1"})
        EXPECT_EQ(reading(refused.split('|')), "error") << refused.toStdString();
}

TEST(CommandLine, TheSettingsFileGivesWhatTheOptionsLeaveOpenButNeverTheHashOrAKey) {
    UserDefaults settings;
    for (const auto& [key, value] : {std::pair{"hash", "/from/settings"},
                                     {"verbose", "yes"},
                                     {"base-url", "http://settings.test"},
                                     {"hwdec", "no"}})
        settings.setString(key, value);
    EXPECT_EQ(reading({"--hwdec", "vaapi"}, settings),
              "verbose, base http://settings.test/, hwdec=vaapi");
    settings.setString("anki-key", "secret");
    EXPECT_EQ(reading({}, settings),
              "verbose, base http://settings.test/, hwdec=no, notice: the setting anki-key is no "
              "longer read: put the key in a file and name it with anki-key-file");
}

TEST(CommandLine, AKeyIsTheFirstLineOfItsFile) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("key").toStdString();
    QString error;
    EXPECT_FALSE(readKeyFile(path, &error).has_value());
    EXPECT_TRUE(error.contains(QString::fromStdString(path)));
    std::ofstream(path) << "k3y\r\nsecond line\n";
    EXPECT_EQ(readKeyFile(path, nullptr), "k3y");
    std::ofstream(path) << std::string(1025, 'k');
    EXPECT_FALSE(readKeyFile(path, nullptr).has_value()) << "a key file is small";
}

// "TEXT URL" each, URL 1 when it is one.
TEST(VideoLocation, ASchemeAndAHostMakeAUrlAndTheTextIsKept) {
    for (const QString row :
         {"https://127.0.0.1:8080/v?id=1 1", "ftp://host/file 1", "/home/user/My Video.mkv 0",
          "file:///home/user/video.mp4 0", "http://exa mple.com/ 0", "C:/Videos/a.mp4 0",
          "relative/path:with/colon 0"}) {
        const VideoLocation location = VideoLocation::fromText(row.chopped(2));
        EXPECT_EQ(location.text + (location.isUrl() ? " 1" : " 0"), row);
    }
}

}  // namespace
}  // namespace lirra
