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
    for (const QStringList& arguments : std::vector<QStringList>{{"--fullscreen", "a.mkv"},
                                                                 {"a.mkv", "b.mkv"},
                                                                 {"--base-url"},
                                                                 {"--base-url", "ftp://host/"},
                                                                 {"--base-url", "127.0.0.1:5000"},
                                                                 {"--base-url", "http://h/?q=1"}}) {
        UserDefaults defaults;
        EXPECT_FALSE(readCommandLine(arguments, defaults).error.isEmpty())
            << arguments.join(' ').toStdString();
    }
    UserDefaults defaults;
    EXPECT_TRUE(readCommandLine({"--help"}, defaults).help);
    // After "--" a name that looks like an option is a video.
    EXPECT_TRUE(readCommandLine({"--", "--odd.mkv"}, defaults).error.isEmpty());
}

}  // namespace
}  // namespace lirra
