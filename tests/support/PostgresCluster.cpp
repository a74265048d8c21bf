// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresCluster.h"

#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace lirra::test {
namespace {

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";

// A port free now; the server binds it a moment later (a start that loses it is retried).
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// initdb refuses to run as root: then the postgres user runs the cluster's commands.
bool asRoot() { return geteuid() == 0; }

int run(std::vector<std::string> args, const std::string& log) {
    if (asRoot()) args.insert(args.begin(), {"runuser", "-u", "postgres", "--"});
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (std::freopen(log.c_str(), "a", stdout) && std::freopen(log.c_str(), "a", stderr))
            execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

PostgresCluster::PostgresCluster() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/lirra-pg-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error_ = "cannot make a temporary folder";
        return;
    }
    root_ = pattern;
    std::mt19937_64 random(std::random_device{}());
    password_ = "pw" + std::to_string(random());
    std::ofstream(root_ + "/password") << password_ << "\n";
    if (asRoot()) {
        const passwd* pg = getpwnam("postgres");
        if (!pg || chown(root_.c_str(), pg->pw_uid, pg->pw_gid) != 0 ||
            chown((root_ + "/password").c_str(), pg->pw_uid, pg->pw_gid) != 0) {
            error_ = "cannot hand the cluster's folder to the postgres user";
            return;
        }
    }
    // No fsync: a test cluster need not survive a power cut, and initdb's syncs cost a second.
    const std::string log = root_ + "/initdb.log";
    if (run({std::string(kBin) + "initdb", "-D", root_ + "/data", "-U", kRole, "--pwfile",
             root_ + "/password", "--auth-local=trust", "--auth-host=scram-sha-256", "-E", "UTF8",
             "--locale=C", "--no-sync", "--no-instructions"},
            log) != 0) {
        error_ = "initdb failed: " + readFile(log);
        return;
    }
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) running_ = start();
}

PostgresCluster::~PostgresCluster() {
    if (running_) ctl("stop");
    if (!root_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
}

bool PostgresCluster::start() {
    port_ = freePort();
    std::ofstream pass(passFile(), std::ios::trunc);
    pass << "127.0.0.1:" << port_ << ":*:" << kRole << ":" << password_ << "\n";
    pass.close();
    std::filesystem::permissions(
        passFile(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return ctl("start");
}

bool PostgresCluster::ctl(const char* action) {
    // The server writes its log as its own user; pg_ctl's output goes where run() puts it.
    const std::string log = root_ + "/ctl.log";
    const std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) +
                                " -k " + root_ + " -c fsync=off -c full_page_writes=off";
    const bool ok = run({std::string(kBin) + "pg_ctl", "-D", root_ + "/data", "-l",
                         root_ + "/server.log", "-w", "-m", "fast", "-o", options, action},
                        log) == 0;
    if (!ok) {
        error_ = std::string("pg_ctl ") + action + " failed: " + readFile(log) +
                 readFile(root_ + "/server.log");
    }
    return ok;
}

bool PostgresCluster::restart() { return running_ && (running_ = ctl("restart")); }

std::string PostgresCluster::uri(const std::string& database) const {
    return "postgresql://" + std::string(kRole) + "@127.0.0.1:" + std::to_string(port_) + "/" +
           database;
}

std::string PostgresCluster::freshDatabase() {
    const std::string name = "db" + std::to_string(++databases_);
    const std::string conninfo = uri("postgres") + "?password=" + password_;
    PGconn* conn = PQconnectdb(conninfo.c_str());
    PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok) error_ = "cannot create a database: " + std::string(PQerrorMessage(conn));
    PQclear(result);
    PQfinish(conn);
    return ok ? uri(name) : std::string();
}

}  // namespace lirra::test
