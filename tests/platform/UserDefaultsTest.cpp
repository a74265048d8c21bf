#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/UserDefaults.h"

namespace lirra {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("lirra-defaults-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    fs::path write(const std::string& name, const std::string& text) {
        const fs::path path = directory_ / name;
        std::ofstream(path) << text;
        return path;
    }

    fs::path directory_;
};

TEST_F(UserDefaultsTest, ReadsKeyValueLines) {
    const auto path = write("settings",
                            "# a comment\n"
                            "  file-name =  My Video.mkv  \n"
                            "\n"
                            "base-url=http://127.0.0.1:8080/#top\n"
                            "no equals sign here\n"
                            "empty =\n"
                            "file-name = second wins\r\n");
    UserDefaults defaults;
    std::string error;
    ASSERT_TRUE(defaults.loadFile(path, &error)) << error;
    EXPECT_EQ(defaults.stringForKey("file-name"), "second wins");
    EXPECT_EQ(defaults.stringForKey("base-url"), "http://127.0.0.1:8080/#top");
    EXPECT_EQ(defaults.stringForKey("empty"), "");
    EXPECT_EQ(defaults.stringForKey("no equals sign here"), std::nullopt);

    // A missing file is fine, an unreadable one is reported.
    EXPECT_TRUE(defaults.loadFile(directory_ / "absent", &error));
    EXPECT_TRUE(error.empty());
    EXPECT_FALSE(defaults.loadFile(directory_, &error));
    EXPECT_NE(error.find(directory_.string()), std::string::npos) << error;
}

TEST_F(UserDefaultsTest, ArgumentsOverrideTheFileAndLeavePositionalArguments) {
    UserDefaults defaults;
    ASSERT_TRUE(defaults.loadFile(write("settings", "file-name = from file\nkeep = kept\n")));
    std::vector<std::string> positional;
    std::string error;
    ASSERT_TRUE(defaults.applyArguments(
        {"video.mkv", "--file-name", "from args", "-x", "--base-url=http://h:1/a=b", "--verbose",
         "--", "--not-an-option", "last"},
        &positional, &error, {"verbose"}))
        << error;
    EXPECT_EQ(defaults.stringForKey("file-name"), "from args");
    EXPECT_EQ(defaults.stringForKey("keep"), "kept");
    EXPECT_EQ(defaults.stringForKey("base-url"), "http://h:1/a=b");
    EXPECT_EQ(defaults.stringForKey("verbose"), "1");
    EXPECT_EQ(defaults.stringForKey("not-an-option"), std::nullopt);
    EXPECT_EQ(positional, (std::vector<std::string>{"video.mkv", "-x", "--not-an-option", "last"}));

    // An option's value may itself start with dashes; an option without one is an error.
    EXPECT_TRUE(defaults.applyArguments({"--file-name", "--odd"}, &positional, &error));
    EXPECT_EQ(defaults.stringForKey("file-name"), "--odd");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--file-name"}, std::vector<std::string>{"--=value"}}) {
        error.clear();
        EXPECT_FALSE(defaults.applyArguments(arguments, &positional, &error)) << arguments[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(UserDefaultsTest, SettingsPathFollowsTheDesktopConvention) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-config", 1);
    EXPECT_EQ(UserDefaults::defaultSettingsPath(), fs::path("/tmp/xdg-config/lirra/settings"));
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(UserDefaults::defaultSettingsPath(), fs::path(home) / ".config/lirra/settings");
    if (savedXdg) {
        ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace lirra
