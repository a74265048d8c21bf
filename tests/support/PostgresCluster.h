// SPDX-License-Identifier: GPL-3.0-or-later
// A throwaway PostgreSQL 15 cluster for tests: made with initdb in a temporary folder, listening
// on 127.0.0.1 on a free port (and a socket in that folder), a password role for the tests over
// TCP, stopped and removed with the object. Run as root, the server runs as the postgres user.
#pragma once

#include <string>

namespace lirra::test {

class PostgresCluster {
  public:
    // Whether PostgreSQL 15's server programs are here to make a cluster with.
    static bool installed();

    PostgresCluster();  // starts it; running() false and error() why when it cannot
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    bool running() const { return running_; }
    const std::string& error() const { return error_; }
    const std::string& password() const { return password_; }
    // A new empty database, its libpq URI over TCP without the password; empty (and error() set)
    // when it cannot be made.
    std::string freshDatabase();
    // Stops and starts the server on the same port: connections open across it are broken.
    bool restart();
    // The server stopped (connections to it refused) and started again on the same port.
    bool stop() { return !running_ || !(running_ = !ctl("stop")); }
    bool start() { return running_ || (running_ = ctl("start")); }

  private:
    bool ctl(const std::string& action);

    std::string root_, password_, error_;
    int port_ = 0, databases_ = 0;
    bool running_ = false;
};

}  // namespace lirra::test
