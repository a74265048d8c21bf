// SPDX-License-Identifier: GPL-3.0-or-later
// The service as the app embeds it (start, stop, its port and folders) and as lirra-server runs
// it (arguments, the printed base URL, a clean stop on signals).
#include <sys/stat.h>

#include <cstdio>
#include <utility>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

// lirra-server with these arguments (none needs quoting): its output (stdout and stderr) and its
// exit status; with a signal, sent once it says where it serves (for at most 10 s); without one,
// stopped after 10 s (status 124) should it serve.
std::pair<std::string, int> runServer(const std::string& args, const std::string& signal = "") {
    const std::string serving = "'^lirra-server: serving http://127.0.0.1:[0-9]*/$'";
    const std::string script =
        "out=$(mktemp); " + std::string(signal.empty() ? "timeout 10 " : "") +
        LIRRA_SERVER_EXECUTABLE " " + args + " >$out 2>&1 & pid=$!; " +
        (signal.empty() ? ""
                        : "for i in $(seq 200); do grep -q " + serving +
                              " $out && break; sleep 0.05; done; kill -" + signal + " $pid; ") +
        "wait $pid; status=$?; cat $out; rm $out; echo $status";
    FILE* pipe = popen(script.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    if (pipe) pclose(pipe);
    const auto last = output.rfind('\n', output.size() - 2) + 1;  // 0 when it printed nothing
    return {output.substr(0, last), std::atoi(output.c_str() + last)};
}

ServerOptions optionsOn(const std::string& data, std::uint16_t port = 0, bool anyPort = false) {
    ServerOptions options;
    options.dataDirectory = data;
    options.port = port;
    options.anyPortIfTaken = anyPort;
    return options;
}

// Over files of one temporary folder: "@" in a row stands for it, "#" for a port taken.
TEST(Executable, ServesUntilASignalSaysWhyItWillNotAndChecksItsConfiguration) {
    const std::string root = makeTempDir();
    writeFile(root + "/file", "x");
    writeFile(root + "/secret", std::string(32, 's') + "\n");
    writeFile(root + "/short", std::string(31, 's') + "\n");
    Server busy(optionsOn(root + "/busy"));
    ASSERT_EQ(busy.start() + Server(optionsOn(root + "/newer")).start(), "");
    ASSERT_EQ(
        std::system(
            ("sqlite3 '" + root + "/newer/lirra.sqlite3' 'PRAGMA user_version = 99'").c_str()),
        0);
    const auto fill = [&](std::string text) {
        for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1))
            text.replace(at, 1, root);
        if (const auto hash = text.find('#'); hash != std::string::npos)
            text.replace(hash, 1, std::to_string(busy.port()));
        return text;
    };
    // Both forms of an option's value.
    for (const auto& [sig, args] :
         {std::pair<std::string, std::string>{"TERM", "--listen=127.0.0.1:0 --data=@/data"},
          {"INT", "--listen 127.0.0.1:0 --data @/data"},
          {"TERM", "--data @/data --secret-file @/secret"}}) {
        const auto [output, status] = runServer(fill(args), sig);
        EXPECT_EQ(status, 0) << output;
        EXPECT_EQ(output.rfind("lirra-server: serving http://127.0.0.1:", 0), 0u) << output;
        EXPECT_NE(output.find("SIG" + sig + " received"), std::string::npos) << output;
    }
    // "STATUS ARGUMENTS" each: the options end at the first argument that is none and after
    // "--"; a data folder that is a file, a name where an address goes, a missing library, a
    // database that does not answer fail.
    // clang-format off
    const char* const rows[] = {
        "2 --listen", "2 --listen 127.0.0.1:70000", "2 --listen :8080", "2 --port 80",
        "2 --host lirra.test:0", "2 --threads 0", "2 --threads 1025", "2 stray",
        "2 stray --version", "2 -- --help", "2 --bogus", "2 -x", "2 --secret-file @/short",
        "2 --secret-file @/missing", "1 --data @/file", "1 --data @/d --listen example.org:0",
        "1 --data @/d --library @/missing", "2 --trust-proxy proxy.lan", "2 backup",
        "2 backup @/a @/b", "2 backup --check-config @/b", "2 --data @/data backup @/b",
        "2 backup --database postgres://h @/b", "1 backup --data @/none @/b",
        "1 backup --data @/data @/file", "0 backup --data=@/data @/copy",
        "2 --database postgres://h --database-connections 101",
        "1 --database postgres://127.0.0.1:1 --database-connections 100"};
    // clang-format on
    for (const char* text : rows) {
        const std::string row = fill(text);
        const int expected = row[0] - '0';
        const auto [output, status] = runServer(row.substr(2));
        EXPECT_EQ(status, expected) << row << ": " << output;
        EXPECT_EQ(output.rfind("lirra-server: ", 0), 0u) << output;
        EXPECT_EQ(output.find("Try 'lirra-server --help'") != std::string::npos, expected == 2)
            << output;
    }
    for (const char* help : {"-h", "--help"})
        EXPECT_EQ(runServer(help).first.rfind("usage: lirra-server [OPTION]...\n", 0), 0u);
    const std::pair<std::string, int> versionAnswer{"lirra-server " LIRRA_PROJECT_VERSION "\n", 0};
    for (const char* version : {"-v", "--version"}) EXPECT_EQ(runServer(version), versionAnswer);
    // Each row: the options after --check-config and lines of its report, every failing one
    // among them; any failing makes the status 1.
    const std::pair<std::string, std::vector<std::string>> checks[] = {
        {"--data @/d --secret-file @/secret --trust-proxy ::1 --opensubtitles-key-file @/file "
         "--library @",
         {"ok    data folder @/d: writable\n",
          "ok    SQLite store @/d/lirra.sqlite3: opens at this build's schema\n",
          "ok    listen 127.0.0.1:0: any free port\n"}},
        {"--data @/file --listen [::1]:0", {"FAIL  data folder @/file", "ok    listen [::1]:0"}},
        {"--data @/d --listen 127.0.0.1:#", {"FAIL  listen 127.0.0.1:#"}},
        {"--data @/d --opensubtitles-key-file @/none --library @/none --secret-file @/file "
         "--trust-proxy proxy.lan --anki-key-file @/none",
         {"FAIL  cannot read a secret", "FAIL  --trust-proxy", "FAIL  cannot read the AnkiConnect",
          "FAIL  OpenSubtitles key file @/none", "FAIL  library @/none"}},
        {"--data @/newer", {"FAIL  SQLite store @/newer/lirra.sqlite3: the database has schema"}},
        {"--data @/d --database postgresql://lirra@127.0.0.1:1/lirra", {"FAIL  PostgreSQL store"}},
    };
    for (const auto& [args, lines] : checks) {
        const auto [output, status] = runServer("--check-config " + fill(args));
        int fails = 0, listed = 0;
        for (auto at = output.find("FAIL  "); at != std::string::npos;
             at = output.find("FAIL  ", at + 1))
            ++fails;
        for (const auto& line : lines) {
            EXPECT_NE(output.find(fill(line)), std::string::npos) << line << " in " << output;
            listed += line[0] == 'F';
        }
        EXPECT_EQ(fails, listed) << output;
        EXPECT_EQ(status, listed ? 1 : 0) << args << ": " << output;
    }
    removeTree(root);
}

TEST(ServerApi, StartStopBaseUrlAndPorts) {
    const std::string root = makeTempDir();
    {
        Server first(optionsOn(root + "/a"));
        EXPECT_EQ(first.port(), 0);
        const mode_t umaskWas = umask(0);  // the data stays the learner's whatever the umask
        ASSERT_EQ(mkdir((root + "/a").c_str(), 0755), 0);
        ASSERT_EQ(first.start(), "");
        umask(umaskWas);
        for (const char* name :
             {"", "/lirra.sqlite3", "/lirra.sqlite3-wal", "/lirra.sqlite3-shm"}) {
            struct stat st {};
            EXPECT_EQ(stat((root + "/a" + name).c_str(), &st), 0) << name;
            EXPECT_EQ(st.st_mode & 0777, *name ? 0600u : 0700u) << name;
        }
        EXPECT_NE(first.start(), "");  // already running
        const std::uint16_t taken = first.port();
        EXPECT_EQ(first.baseUrl(), "http://127.0.0.1:" + std::to_string(taken) + "/");
        // A taken port fails a start unless another one may do.
        EXPECT_NE(Server(optionsOn(root + "/b", taken)).start(), "");
        Server lenient(optionsOn(root + "/c", taken, true));
        ASSERT_EQ(lenient.start(), "");
        EXPECT_NE(lenient.port(), taken);
        EXPECT_EQ(httplib::Client("127.0.0.1", lenient.port()).Get("/Player/Home")->status, 200);
        first.stop();
        first.stop();
        EXPECT_FALSE(first.isRunning());
        Server again(optionsOn(root + "/d", taken, true));
        ASSERT_EQ(again.start(), "");
        EXPECT_EQ(again.port(), taken);
        ASSERT_EQ(first.start(), "");  // and again on its store
    }                                  // the destructors stop them
    for (const std::string a : {"1 127.8.9.10", "1 ::1", "1 localhost", "0 0.0.0.0",
                                "0 ::", "0 128.0.0.1", "0 ::ffff:128.0.0.1"})
        EXPECT_EQ(isLoopbackAddress(a.substr(2)), a[0] == '1') << a;
    // A store of a newer release is left alone.
    ASSERT_EQ(
        std::system(("sqlite3 '" + root + "/a/lirra.sqlite3' 'PRAGMA user_version = 99'").c_str()),
        0);
    EXPECT_NE(Server(optionsOn(root + "/a")).start().find("newer than this server"),
              std::string::npos);
    removeTree(root);
}

// A learner's pages keep their origin, and with it their stored settings, only while the port
// of their data folder stays what earlier releases gave it.
TEST(ServerApi, StablePortsAndTheDefaultDataFolder) {
    for (const std::string c : {"=26261", "/home/ana/.local/share/lirra=23785",
                                "/home/ben/.local/share/lirra=23116", "/tmp/x=29164"})
        EXPECT_EQ(std::to_string(stablePortFor(c.substr(0, c.find('=')))),
                  c.substr(c.find('=') + 1));

    const std::string xdg = std::getenv("XDG_DATA_HOME") ?: "", home = std::getenv("HOME") ?: "";
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/data", "/home/ana", "/data/lirra"},
        {"relative", "/home/ana", "/home/ana/.local/share/lirra"},
        {nullptr, "/home/ana", "/home/ana/.local/share/lirra"},
        {nullptr, nullptr, ""},
    };
    for (const auto& [xdgValue, homeValue, expected] : cases) {
        xdgValue ? setenv("XDG_DATA_HOME", xdgValue, 1) : unsetenv("XDG_DATA_HOME");
        homeValue ? setenv("HOME", homeValue, 1) : unsetenv("HOME");
        EXPECT_EQ(defaultDataDirectory(), expected) << (xdgValue ? xdgValue : "no XDG_DATA_HOME");
    }
    setenv("HOME", home.c_str(), 1);
    xdg.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", xdg.c_str(), 1);
}

}  // namespace
}  // namespace lirra::server::test
