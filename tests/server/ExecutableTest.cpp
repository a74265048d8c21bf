// The standalone lirra-server: arguments, the printed base URL, and a clean stop on signals.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ServerFixture.h"

extern char** environ;

namespace lirra::server::test {
namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;  // stdout and stderr together
};

Child spawnServer(const std::vector<std::string>& args) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv = {const_cast<char*>(LIRRA_SERVER_EXECUTABLE)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    EXPECT_EQ(
        posix_spawn(&child.pid, LIRRA_SERVER_EXECUTABLE, &actions, nullptr, argv.data(), environ),
        0);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    child.out = fds[0];
    return child;
}

std::string readLine(int fd) {
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
}

std::string readAll(int fd) {
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    return text;
}

int waitExit(pid_t pid) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ExecutableTest : public ::testing::Test {
  protected:
    void SetUp() override { root_ = makeTempDir(); }
    void TearDown() override { removeTree(root_); }
    std::string root_;
};

TEST_F(ExecutableTest, ServesUntilSigtermThenStopsCleanly) {
    for (int sig : {SIGTERM, SIGINT}) {
        Child child =
            spawnServer({"--listen", "127.0.0.1:0", "--data", root_ + "/data", "--library", root_});
        const std::string line = readLine(child.out);
        const std::string prefix = "lirra-server: serving http://127.0.0.1:";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        ASSERT_EQ(line.back(), '/');
        const int port = std::stoi(line.substr(prefix.size()));
        httplib::Client c("127.0.0.1", port);
        auto res = c.Get("/Player/Home");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        ASSERT_EQ(kill(child.pid, sig), 0);
        EXPECT_EQ(waitExit(child.pid), 0);
        close(child.out);
    }
}

TEST_F(ExecutableTest, BadArgumentsExitWithStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--listen"},     {"--listen", "127.0.0.1:70000"}, {"--listen", ":8080"},
        {"--port", "80"}, {"--host", "lirra.test:0"},      {"--threads", "0"},
        {"stray"},
    };
    for (const auto& args : cases) {
        Child child = spawnServer(args);
        const std::string output = readAll(child.out);
        EXPECT_EQ(waitExit(child.pid), 2) << args[0];
        EXPECT_NE(output.find("usage: lirra-server"), std::string::npos);
        close(child.out);
    }
}

TEST_F(ExecutableTest, StartFailuresAreReportedNotCrashed) {
    // A data directory that is a file, and a listen address that is a host name.
    writeFile(root_ + "/file", "x");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--data", root_ + "/file"},
          std::vector<std::string>{"--data", root_ + "/d", "--listen", "example.org:0"},
          std::vector<std::string>{"--data", root_ + "/d", "--library", root_ + "/missing"}}) {
        Child child = spawnServer(args);
        const std::string output = readAll(child.out);
        EXPECT_EQ(waitExit(child.pid), 1) << output;
        EXPECT_EQ(output.rfind("lirra-server: ", 0), 0u) << output;
        close(child.out);
    }
}

TEST(ServerApi, BaseUrlStopAndLoopbackRules) {
    const std::string root = makeTempDir();
    {
        ServerOptions options;
        options.dataDirectory = root;
        Server server(options);
        EXPECT_EQ(server.port(), 0);
        ASSERT_EQ(server.start(), "");
        EXPECT_NE(server.start(), "");  // already running
        EXPECT_EQ(server.baseUrl(), "http://127.0.0.1:" + std::to_string(server.port()) + "/");
        server.stop();
        server.stop();
        EXPECT_FALSE(server.isRunning());
        ASSERT_EQ(server.start(), "");  // and again, on the same store
        httplib::Client c("127.0.0.1", server.port());
        EXPECT_EQ(c.Get("/Player/Home")->status, 200);
    }  // the destructor stops it
    for (const char* loopback : {"127.8.9.10", "::1", "localhost"}) {
        EXPECT_TRUE(isLoopbackAddress(loopback)) << loopback;
    }
    for (const char* other : {"0.0.0.0", "::", "128.0.0.1"}) {
        EXPECT_FALSE(isLoopbackAddress(other)) << other;
    }
    removeTree(root);
}

TEST(ServerApi, NewerSchemaIsRefused) {
    const std::string root = makeTempDir();
    {
        ServerOptions options;
        options.dataDirectory = root;
        Server server(options);
        ASSERT_EQ(server.start(), "");
    }
    ASSERT_EQ(
        std::system(("sqlite3 '" + root + "/lirra.sqlite3' 'PRAGMA user_version = 99'").c_str()),
        0);
    ServerOptions options;
    options.dataDirectory = root;
    Server server(options);
    EXPECT_NE(server.start().find("newer than this server"), std::string::npos);
    removeTree(root);
}

}  // namespace
}  // namespace lirra::server::test
