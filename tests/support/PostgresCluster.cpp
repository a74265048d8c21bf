// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresCluster.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace lirra::test {
namespace {

constexpr const char* kRole = "lirra_test";
constexpr const char* kPrograms = "/usr/lib/postgresql/15/bin/";

// A port free now; the server binds it a moment later (a start that loses it is retried).
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

// One of PostgreSQL's programs (no argument needs quoting), its output appended to `log`;
// initdb refuses to run as root, so then the postgres user runs them.
bool run(const std::string& command, const std::string& log) {
    const std::string line = std::string(geteuid() == 0 ? "runuser -u postgres -- " : "") +
                             kPrograms + command + " >>" + log + " 2>&1";
    return std::system(line.c_str()) == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

bool PostgresCluster::installed() {
    return std::filesystem::exists(std::string(kPrograms) + "initdb");
}

PostgresCluster::PostgresCluster() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/lirra-pg-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error_ = "cannot make a temporary folder";
        return;
    }
    root_ = pattern;
    password_ = "pw" + std::to_string(std::mt19937_64(std::random_device{}())());
    std::ofstream(root_ + "/password") << password_ << "\n";
    const passwd* pg = geteuid() == 0 ? getpwnam("postgres") : nullptr;
    if (geteuid() == 0 && (!pg || chown(root_.c_str(), pg->pw_uid, pg->pw_gid) != 0)) {
        error_ = "cannot hand the cluster's folder to the postgres user";
        return;
    }
    // No fsync: a test cluster need not survive a power cut, and initdb's syncs cost a second.
    if (!run("initdb -D " + root_ + "/data -U " + kRole + " --pwfile " + root_ +
                 "/password --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C "
                 "--no-sync --no-instructions",
             root_ + "/initdb.log")) {
        error_ = "initdb failed: " + readFile(root_ + "/initdb.log");
        return;
    }
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
        port_ = freePort();
        running_ = ctl("start");
    }
}

PostgresCluster::~PostgresCluster() {
    if (running_) ctl("stop");
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

bool PostgresCluster::ctl(const std::string& action) {
    const bool ok = run("pg_ctl -D " + root_ + "/data -l " + root_ + "/server.log -w -m fast -o '" +
                            "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) + " -k " +
                            root_ + " -c fsync=off -c full_page_writes=off' " + action,
                        root_ + "/ctl.log");
    if (!ok) error_ = "pg_ctl " + action + " failed: " + readFile(root_ + "/server.log");
    return ok;
}

bool PostgresCluster::restart() { return running_ && (running_ = ctl("restart")); }

std::string PostgresCluster::freshDatabase() {
    const std::string name = "db" + std::to_string(++databases_);
    // Over the cluster's socket, where the role needs no password.
    if (!run("createdb -h " + root_ + " -p " + std::to_string(port_) + " -U " + kRole + " " + name,
             root_ + "/ctl.log")) {
        error_ = "cannot create a database: " + readFile(root_ + "/ctl.log");
        return {};
    }
    return "postgresql://" + std::string(kRole) + "@127.0.0.1:" + std::to_string(port_) + "/" +
           name;
}

}  // namespace lirra::test
