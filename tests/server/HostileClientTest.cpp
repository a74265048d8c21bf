// SPDX-License-Identifier: GPL-3.0-or-later
// The service under clients that trickle, flood and never finish: probes answered meanwhile,
// tricklers cut off at their deadline, a body above the floor rate read, peak memory bounded.
#include <poll.h>

#include <fstream>
#include <future>

#include "RawClient.h"
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using namespace std::chrono_literals;

long statusKb(const std::string& field) {  // of /proc/self/status: "VmRSS", "VmHWM"
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

struct Outcome {
    std::string status;  // the answer's status line, if one came
    double seconds;      // until it came or the connection was closed
};

class HostileClientTest : public ServerFixture {
  protected:
    void configure(ServerOptions& options) override { options.threadCount = 4; }

    std::string head(const std::string& line, const std::string& more = "\r\n") const {
        return line + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server_->port()) + "\r\n" +
               more;
    }
    // Sends `opening`, then `piece` `count` times `pause` apart and `last`, stopping once the
    // service answers or closes.
    std::future<Outcome> client(std::string opening, std::string piece, int count,
                                std::chrono::milliseconds pause, std::string last = "") {
        return std::async(std::launch::async, [=, this] {
            const auto start = std::chrono::steady_clock::now();
            const int fd = connectLoopback(server_->port());
            pollfd p{fd, POLLIN, 0};
            bool open = sendAll(fd, opening);
            for (int i = 0; open && i < count; ++i)
                open = poll(&p, 1, int(pause.count())) == 0 && sendAll(fd, piece);
            if (open) sendAll(fd, last);
            Outcome outcome{receive(fd, 5000ms, true), 0};
            close(fd);
            outcome.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            return outcome;
        });
    }
};

TEST_F(HostileClientTest, TricklersAreCutOffFloodsAreNotKeptAndOthersAreServed) {
    const int probe = connectLoopback(server_->port());
    ASSERT_TRUE(sendAll(probe, head("HEAD /Player/Home")));
    ASSERT_EQ(receive(probe, 2000ms, true), "HTTP/1.1 200 OK");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak from here on
    const long before = statusKb("VmRSS");
    // More tricklers than request threads, of heads and of bodies, for longer than a deadline.
    std::vector<std::future<Outcome>> tricklers;
    for (int i = 0; i < 12; ++i) {
        tricklers.push_back(client(head("GET /Player/Home", ""), "X-Slow: 1\r\n", 16, 1s));
        tricklers.push_back(
            client(head("POST /Player/GetSubtitlesToDownload", "Content-Length: 100000\r\n\r\n"),
                   std::string(1024, 'x'), 16, 1s));
    }
    const std::string piece(64 * 1024, 'x'), chunk = "10000\r\n" + piece + "\r\n";
    const std::string chunked = "Transfer-Encoding: chunked\r\n\r\n", end = "0\r\n\r\n";
    std::pair<std::future<Outcome>, std::string> floods[] = {
        // Above the floor rate, a body is read to its end after more than the head's time.
        {client(head("POST /nowhere", "Content-Length: 1245184\r\n\r\n"), piece, 19, 600ms),
         "HTTP/1.1 404 Not Found"},
        {client(head("POST /nowhere", chunked), chunk, 2560, 0ms, end), "HTTP/1.1 404 Not Found"},
        {client(head("POST /Player/GetSubtitlesToDownload", chunked), chunk, 1536, 0ms, end),
         "HTTP/1.1 413 Content Too Large"},
        // Without a length a request has no body, and what follows is no request either.
        {client(head("POST /nowhere"), piece, 1536, 0ms), "HTTP/1.1 404 Not Found"},
    };
    // Heads of many lines: a hundred are served, ten thousand refused.
    std::string lines;
    for (int i = 0; i < 10000; ++i) lines += "X-Header-" + std::to_string(i) + ": value\r\n";
    for (const auto& [count, status] : {std::pair<int, std::string>{100, "HTTP/1.1 200 OK"},
                                        {10000, "HTTP/1.1 431 Request Header Fields Too Large"}}) {
        const int fd = connectLoopback(server_->port());
        const auto cut = lines.find("X-Header-" + std::to_string(count) + ":");
        sendAll(fd, head("GET /Player/Home", lines.substr(0, cut) + "\r\n"));
        EXPECT_EQ(receive(fd, 2000ms, true), status) << count;
        close(fd);
    }
    // Meanwhile a probe is answered at once, on a new connection and on the kept one.
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(1500ms);
        const int fd = connectLoopback(server_->port());
        for (int on : {fd, probe}) {
            ASSERT_TRUE(sendAll(on, head("HEAD /Player/Home")));
            EXPECT_EQ(receive(on, 2000ms, true), "HTTP/1.1 200 OK") << i;
        }
        close(fd);
    }
    close(probe);
    for (auto& [outcome, status] : floods) EXPECT_EQ(outcome.get().status, status);
    for (auto& held : tricklers) {
        const double seconds = held.get().seconds;
        EXPECT_TRUE(seconds >= 9.5 && seconds <= 12.5) << seconds;
    }
    const long peak = statusKb("VmHWM");
    EXPECT_LE(peak - before, 64 * 1024) << before << " kB before, peak " << peak << " kB";
}

}  // namespace
}  // namespace lirra::server::test
