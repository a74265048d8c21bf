// What the launch arguments and the settings make of the app's start.
#include <gtest/gtest.h>

#include <QDir>

#include "app/CommandLine.h"

namespace lirra {
namespace {

TEST(CommandLine, ReadsTheVideoTheServiceTheRemoteFileNameAndTheFlags) {
    UserDefaults defaults;
    defaults.setString("hash", "from-settings");  // --hash counts on the command line only
    const CommandLine line =
        readCommandLine({"--base-url", "http://10.1.2.3:8080", "--file-name=Talk.mkv", "--verbose",
                         "--hwdec", "vaapi", "clip.mkv"},
                        defaults);
    EXPECT_TRUE(line.error.isEmpty());
    EXPECT_EQ(line.baseUrl, QString("http://10.1.2.3:8080/"));
    EXPECT_TRUE(line.verbose);  // a flag: the video after it is not taken as its value
    EXPECT_EQ(line.location, QDir::current().absoluteFilePath("clip.mkv"));
    EXPECT_EQ(defaults.stringForKey("file-name"), "Talk.mkv");
    EXPECT_EQ(defaults.stringForKey("hwdec"), "vaapi");  // read by the video engine
    EXPECT_FALSE(line.hashLocation.has_value());

    UserDefaults other;
    EXPECT_EQ(readCommandLine({"http://media.test/a.mkv"}, other).location,
              "http://media.test/a.mkv");
    const auto url = readCommandLine({"--hash", "http://media.test/a.mkv"}, other).hashLocation;
    EXPECT_EQ(url, (VideoLocation{"http://media.test/a.mkv", VideoLocation::Kind::Url}));
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
    EXPECT_FALSE(normalizedBaseUrl("127.0.0.1:5000", &error));
    EXPECT_FALSE(normalizedBaseUrl("http://h/?q=1", &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace lirra
