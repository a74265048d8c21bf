// SPDX-License-Identifier: GPL-3.0-or-later
// Settings from the settings file (the command line's options are set over them by the app).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>

#include "platform/UserDefaults.h"

namespace lirra {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public ::testing::Test {
  protected:
    fs::path write(const std::string& text) {
        const fs::path path = dir_.filePath("settings").toStdString();
        std::ofstream(path) << text;
        return path;
    }
    QTemporaryDir dir_;
    UserDefaults defaults_;
    std::string error_;
};

TEST_F(UserDefaultsTest, ReadsKeyValueLinesAndSaysWhyAFileCannotBeRead) {
    ASSERT_TRUE(defaults_.loadFile(write("# a comment\n  file-name =  My Video.mkv  \n\n"
                                         "base-url=http://127.0.0.1:8080/#top\nno equals sign\n"
                                         "empty =\n = no key\nfile-name = second wins\r\n"),
                                   &error_));
    std::string read;  // each key's value, "-" for none
    for (const char* key : {"file-name", "base-url", "empty", "no equals sign", ""})
        read += defaults_.stringForKey(key).value_or("-") + "|";
    EXPECT_EQ(read, "second wins|http://127.0.0.1:8080/#top||-|-|");
    EXPECT_TRUE(defaults_.loadFile(dir_.filePath("absent").toStdString(), &error_));  // fine
    EXPECT_TRUE(error_.empty());
    EXPECT_FALSE(defaults_.loadFile(dir_.path().toStdString(), &error_));
    EXPECT_NE(error_.find(dir_.path().toStdString()), std::string::npos) << error_;
    // A mebibyte at most.
    EXPECT_TRUE(defaults_.loadFile(write(std::string(1024 * 1024, '#')), &error_));
    EXPECT_FALSE(defaults_.loadFile(write(std::string(1024 * 1024 + 1, '#')), &error_));
}

TEST_F(UserDefaultsTest, TheSettingsFileLivesWhereTheDesktopConventionSays) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-config", 1);
    EXPECT_EQ(UserDefaults::defaultSettingsPath(), fs::path("/tmp/xdg-config/lirra/settings"));
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(UserDefaults::defaultSettingsPath(),
              fs::path(std::getenv("HOME")) / ".config/lirra/settings");
    saved ? ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace lirra
