// What the launch arguments and the settings make of the app's start.
#include <gtest/gtest.h>

#include <QDir>

#include "app/CommandLine.h"

namespace lirra {
namespace {

TEST(CommandLine, ReadsTheVideoTheServiceAndTheRemoteFileName) {
    UserDefaults defaults;
    const CommandLine line = readCommandLine(
        {"--base-url", "http://10.1.2.3:8080", "--file-name=Talk.mkv", "clip.mkv"}, defaults);
    EXPECT_TRUE(line.error.isEmpty());
    EXPECT_EQ(line.baseUrl, QString("http://10.1.2.3:8080/"));
    EXPECT_EQ(line.location, QDir::current().absoluteFilePath("clip.mkv"));
    EXPECT_EQ(defaults.stringForKey("file-name"), "Talk.mkv");
    EXPECT_FALSE(line.hashLocation.has_value());
}

TEST(CommandLine, KeepsUrlsAndTakesTheHashCommandFromTheCommandLineOnly) {
    UserDefaults defaults;
    defaults.setString("hash", "from-settings");
    EXPECT_FALSE(readCommandLine({"http://media.test/a.mkv"}, defaults).hashLocation);
    EXPECT_EQ(readCommandLine({"http://media.test/a.mkv"}, defaults).location,
              "http://media.test/a.mkv");
    // The hashed video's kind is decided as it is read.
    const auto file = readCommandLine({"--hash", "/v/a.mkv"}, defaults).hashLocation;
    EXPECT_EQ(file, (VideoLocation{"/v/a.mkv", VideoLocation::Kind::File}));
    UserDefaults other;
    const auto url = readCommandLine({"--hash", "http://media.test/a.mkv"}, other).hashLocation;
    EXPECT_EQ(url, (VideoLocation{"http://media.test/a.mkv", VideoLocation::Kind::Url}));
}

TEST(CommandLine, VerboseIsAFlagFromEitherPlace) {
    UserDefaults flagged;
    const CommandLine line = readCommandLine({"--verbose", "clip.mkv"}, flagged);
    EXPECT_TRUE(line.verbose);  // the video after it is not taken as its value
    EXPECT_EQ(line.location, QDir::current().absoluteFilePath("clip.mkv"));
    UserDefaults settings;
    settings.setString("verbose", "yes");
    EXPECT_TRUE(readCommandLine({}, settings).verbose);
    UserDefaults quiet;
    quiet.setString("verbose", "0");
    EXPECT_FALSE(readCommandLine({}, quiet).verbose);
}

TEST(CommandLine, RefusesWhatItCannotUse) {
    UserDefaults defaults;
    EXPECT_FALSE(readCommandLine({"--fullscreen", "a.mkv"}, defaults).error.isEmpty());
    EXPECT_FALSE(readCommandLine({"a.mkv", "b.mkv"}, defaults).error.isEmpty());
    EXPECT_FALSE(readCommandLine({"--base-url"}, defaults).error.isEmpty());
    UserDefaults other;
    EXPECT_FALSE(readCommandLine({"--base-url", "ftp://host/"}, other).error.isEmpty());
    EXPECT_TRUE(readCommandLine({"--help"}, other).help);
    // After "--" a name that looks like an option is a video.
    UserDefaults third;
    EXPECT_TRUE(readCommandLine({"--", "--odd.mkv"}, third).error.isEmpty());
}

TEST(CommandLine, NormalizesBaseUrls) {
    QString error;
    EXPECT_EQ(normalizedBaseUrl("http://127.0.0.1:5000", &error),
              QString("http://127.0.0.1:5000/"));
    EXPECT_EQ(normalizedBaseUrl("https://lirra.example/app/", &error),
              QString("https://lirra.example/app/"));
    EXPECT_FALSE(normalizedBaseUrl("127.0.0.1:5000", &error));
    EXPECT_FALSE(normalizedBaseUrl("http:///nohost", &error));
    EXPECT_FALSE(normalizedBaseUrl("http://h/?q=1", &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace lirra
