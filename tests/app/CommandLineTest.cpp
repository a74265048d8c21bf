// What the launch arguments and the settings make of the app's start, and where a video's kind
// (file or URL) is decided.
#include <gtest/gtest.h>

#include <QDir>

#include "app/CommandLine.h"
#include "support/qt/QtPrinters.h"

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
    EXPECT_FALSE(line.hashLocation.has_value() || line.help);

    UserDefaults other;
    EXPECT_EQ(readCommandLine({"http://media.test/a.mkv"}, other).location,
              "http://media.test/a.mkv");
    const auto url = readCommandLine({"--hash", "http://media.test/a.mkv"}, other).hashLocation;
    EXPECT_EQ(url, (VideoLocation{"http://media.test/a.mkv", VideoLocation::Kind::Url}));
    EXPECT_TRUE(readCommandLine({"--help"}, other).help);
    // After "--" a name that looks like an option is a video.
    EXPECT_EQ(readCommandLine({"--", "--odd.mkv"}, other).location,
              QDir::current().absoluteFilePath("--odd.mkv"));
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
}

TEST(VideoLocation, ASchemeAndAHostMakeAUrlAndTheTextIsKept) {
    for (const auto& [text, url] :
         std::vector<std::pair<const char*, bool>>{{"https://127.0.0.1:8080/v?id=1", true},
                                                   {"ftp://host/file", true},
                                                   {"/home/user/My Video.mkv", false},
                                                   {"file:///home/user/video.mp4", false},
                                                   {"http://exa mple.com/", false},
                                                   {"C:/Videos/a.mp4", false},
                                                   {"relative/path:with/colon", false}}) {
        const VideoLocation location = VideoLocation::fromText(text);
        EXPECT_EQ(location.isUrl(), url) << text;
        EXPECT_EQ(location.text, text);
    }
}

}  // namespace
}  // namespace lirra
