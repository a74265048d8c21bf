// lirra-server under clients that trickle, flood and never finish, over loopback: a probe is
// answered meanwhile, each trickler is cut off at its deadline, a floor-rate body is not, and
// the process's peak memory stays within bounds whatever the bodies and heads weigh.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A kilobyte figure of /proc/PID/status ("VmRSS", "VmHWM").
long statusKb(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}

int connectTo(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

// True once the peer has closed (or reset) the connection, waiting up to `wait`.
bool closedWithin(int fd, std::chrono::milliseconds wait) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, int(wait.count())) <= 0) return false;
    char buffer[4096];
    return recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0;
}

// The status line of the answer on `fd`, within `wait`; empty when none came.
std::string statusLine(int fd, std::chrono::milliseconds wait) {
    const timeval timeout{long(wait.count() / 1000), long(wait.count() % 1000 * 1000)};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string bytes;
    char buffer[4096];
    for (ssize_t n;
         bytes.find("\r\n") == std::string::npos && (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        bytes.append(buffer, n);
    }
    return bytes.substr(0, bytes.find("\r\n"));
}

class HostileClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = makeTempDir();
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            execl(LIRRA_SERVER_EXECUTABLE, LIRRA_SERVER_EXECUTABLE, "--listen", "127.0.0.1:0",
                  "--data", (root_ + "/data").c_str(), "--threads", "4", nullptr);
            _exit(127);
        }
        close(fds[1]);
        out_ = fdopen(fds[0], "r");
        char line[512];
        const std::string prefix = "lirra-server: serving http://127.0.0.1:";
        ASSERT_TRUE(std::fgets(line, sizeof line, out_));
        ASSERT_EQ(std::string(line).rfind(prefix, 0), 0u) << line;
        port_ = std::uint16_t(std::atoi(line + prefix.size()));
        host_ = "Host: 127.0.0.1:" + std::to_string(port_) + "\r\n";
    }
    void TearDown() override {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        if (out_) std::fclose(out_);
        removeTree(root_);
    }

    std::string head(const std::string& requestLine, const std::string& more = {}) const {
        return requestLine + " HTTP/1.1\r\n" + host_ + more;
    }

    // A connection that sends `opening`, then `drip` every `every` until the service closes it;
    // how long it was held open, in seconds (past `limit` it gives up and says so).
    std::future<double> trickle(std::string opening, std::string drip,
                                std::chrono::milliseconds every, double limit = 16) {
        return std::async(std::launch::async, [=, this] {
            const auto start = Clock::now();
            const int fd = connectTo(port_);
            if (fd < 0 || !sendAll(fd, opening)) return -1.0;
            while (since(start) < limit && !closedWithin(fd, every) && sendAll(fd, drip)) {
            }
            close(fd);
            return since(start);
        });
    }

    // Sends `request` then `bodyBytes` of filler in pieces, each piece as `piece` makes it;
    // the answer's status line.
    std::future<std::string> flood(std::string request, std::size_t bodyBytes,
                                   std::function<std::string(const std::string&)> piece,
                                   std::chrono::milliseconds pause = 0ms) {
        return std::async(std::launch::async, [=, this] {
            const int fd = connectTo(port_);
            bool sent = fd >= 0 && sendAll(fd, request);
            const std::string filler(64 * 1024, 'x');
            for (std::size_t done = 0; sent && done < bodyBytes; done += filler.size()) {
                sent =
                    sendAll(fd, piece(filler.substr(0, std::min(filler.size(), bodyBytes - done))));
                std::this_thread::sleep_for(pause);
            }
            if (sent) sendAll(fd, piece(""));
            const std::string status = statusLine(fd, 5000ms);
            close(fd);
            return status;
        });
    }

    std::string root_;
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    std::uint16_t port_ = 0;
    std::string host_;
};

const auto kAsIs = [](const std::string& s) { return s; };
const auto kChunk = [](const std::string& s) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", s.size());
    return size + s + "\r\n";
};

TEST_F(HostileClientTest, TricklersAreCutOffFloodsAreNotKeptAndOthersAreServed) {
    const int probe = connectTo(port_);
    ASSERT_TRUE(sendAll(probe, head("HEAD /Player/Home") + "\r\n"));
    ASSERT_EQ(statusLine(probe, 2000ms), "HTTP/1.1 200 OK");
    // Only what the attacks make the service take from now on counts.
    std::ofstream(std::string("/proc/") + std::to_string(pid_) + "/clear_refs") << "5";
    const long before = statusKb(pid_, "VmRSS");

    // More tricklers than request threads, on heads and on bodies, for longer than a deadline.
    std::vector<std::future<double>> heads, bodies;
    for (int i = 0; i < 12; ++i) {
        heads.push_back(trickle(head("GET /Player/Home"), "X-Slow: 1\r\n", 1000ms));
        bodies.push_back(
            trickle(head("POST /Player/GetSubtitlesToDownload", "Content-Length: 100000\r\n\r\n"),
                    std::string(1024, 'x'), 1000ms));
    }
    // A body at a rate above the floor is read to its end after more than the head's time.
    auto steady =
        flood(head("POST /nowhere", "Content-Length: 1200000\r\n\r\n"), 1200000, kAsIs, 600ms);
    const std::string chunked = "Transfer-Encoding: chunked\r\n\r\n";
    std::pair<std::future<std::string>, std::string> floods[] = {
        {flood(head("POST /nowhere", chunked), 160u << 20, kChunk), "HTTP/1.1 404 Not Found"},
        {flood(head("PUT /Player/Home", chunked), 160u << 20, kChunk), "HTTP/1.1 404 Not Found"},
        {flood(head("POST /Player/GetSubtitlesToDownload", chunked), 96u << 20, kChunk),
         "HTTP/1.1 413 Content Too Large"},
        // Without a length a request has no body: what follows is not a request either.
        {flood(head("POST /nowhere") + "\r\n", 96u << 20, kAsIs), "HTTP/1.1 404 Not Found"},
        {flood("POST /nowhere HTTP/1.0\r\n" + host_ + "\r\n", 96u << 20, kAsIs),
         "HTTP/1.1 404 Not Found"},
    };
    // Heads of many header lines: a hundred are served, ten thousand refused, at once.
    std::string many;
    for (int i = 0; i < 10000; ++i) many += "X-Header-" + std::to_string(i) + ": value\r\n";
    const std::pair<std::string, std::string> counts[] = {
        {many.substr(0, many.find("X-Header-100:")), "HTTP/1.1 200 OK"},
        {many, "HTTP/1.1 431 Request Header Fields Too Large"}};
    for (const auto& [headers, status] : counts) {
        const int fd = connectTo(port_);
        sendAll(fd, head("GET /Player/Home", headers) + "\r\n");
        EXPECT_EQ(statusLine(fd, 2000ms), status)
            << std::count(headers.begin(), headers.end(), '\n');
        close(fd);
    }

    // Meanwhile, on a connection of its own and on the kept one, a probe is answered at once.
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(1500ms);
        const int fd = connectTo(port_);
        for (int on : {fd, probe}) {
            ASSERT_TRUE(sendAll(on, head("HEAD /Player/Home") + "\r\n"));
            EXPECT_EQ(statusLine(on, 2000ms), "HTTP/1.1 200 OK") << i;
        }
        close(fd);
    }
    for (auto& [answer, status] : floods) EXPECT_EQ(answer.get(), status);
    EXPECT_EQ(steady.get(), "HTTP/1.1 404 Not Found");
    for (auto* held : {&heads, &bodies}) {
        for (auto& f : *held) {
            const double seconds = f.get();
            EXPECT_GE(seconds, 9.5);
            EXPECT_LE(seconds, 12.5);
        }
    }
    const long peak = statusKb(pid_, "VmHWM");
    std::printf("peak memory %ld kB over %ld kB\n", peak - before, before);
    EXPECT_LE(peak - before, 64 * 1024) << before << " kB before, peak " << peak << " kB";
    close(probe);
}

}  // namespace
}  // namespace lirra::server::test
