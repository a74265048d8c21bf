// The built-in service's port: the one it prefers when free, another when that one is taken
// (and only when asked to: the standalone service fails on a taken --port).
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

ServerOptions optionsOn(std::uint16_t port, bool anyPortIfTaken) {
    ServerOptions options;
    options.dataDirectory = makeTempDir();
    options.port = port;
    options.anyPortIfTaken = anyPortIfTaken;
    return options;
}

TEST(ServerPortTest, TakesThePreferredPortWhenFreeAndAnotherOnlyWhenAsked) {
    Server first(optionsOn(0, false));
    ASSERT_EQ(first.start(), "");
    const std::uint16_t taken = first.port();

    Server strict(optionsOn(taken, false));
    EXPECT_NE(strict.start(), "");
    Server lenient(optionsOn(taken, true));
    ASSERT_EQ(lenient.start(), "");
    EXPECT_NE(lenient.port(), taken);
    httplib::Client client("127.0.0.1", lenient.port());
    const auto answer = client.Get("/Player/Home");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);

    first.stop();
    Server again(optionsOn(taken, true));
    ASSERT_EQ(again.start(), "");
    EXPECT_EQ(again.port(), taken);
}

// A learner's pages keep their origin, and with it their stored settings, only while the port
// of their data folder stays what earlier releases gave it.
TEST(ServerPortTest, StablePortDependsOnlyOnTheDataDirectory) {
    const std::pair<const char*, std::uint16_t> ports[] = {
        {"", 26261},
        {"/home/ana/.local/share/lirra", 23785},
        {"/home/ben/.local/share/lirra", 23116},
        {"/tmp/x", 29164},
    };
    for (const auto& [folder, port] : ports) EXPECT_EQ(stablePortFor(folder), port) << folder;
}

TEST(ServerPortTest, DefaultDataDirectoryFollowsXdg) {
    const std::string xdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const struct {
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/data", "/home/ana", "/data/lirra"},
        {"relative", "/home/ana", "/home/ana/.local/share/lirra"},
        {nullptr, "/home/ana", "/home/ana/.local/share/lirra"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        for (const auto& [name, value] : {std::pair{"XDG_DATA_HOME", c.xdg}, {"HOME", c.home}}) {
            value ? setenv(name, value, 1) : unsetenv(name);
        }
        EXPECT_EQ(defaultDataDirectory(), c.expected) << (c.xdg ? c.xdg : "no XDG_DATA_HOME");
    }
    setenv("HOME", home.c_str(), 1);
    xdg.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", xdg.c_str(), 1);
}

}  // namespace
}  // namespace lirra::server::test
