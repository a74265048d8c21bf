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

TEST(ServerPortTest, StablePortDependsOnlyOnTheDataDirectory) {
    const std::uint16_t port = stablePortFor("/home/ana/.local/share/lirra");
    EXPECT_EQ(stablePortFor("/home/ana/.local/share/lirra"), port);
    EXPECT_NE(stablePortFor("/home/ben/.local/share/lirra"), port);
    for (const char* folder : {"", "/", "/home/ana/.local/share/lirra", "/tmp/x"}) {
        EXPECT_GE(stablePortFor(folder), 20000);
        EXPECT_LT(stablePortFor(folder), 30000);
    }
}

}  // namespace
}  // namespace lirra::server::test
