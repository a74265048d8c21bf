// lirra-server: runs the Lirra web service standalone until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "lirra/server/Server.h"

namespace {

constexpr int kUsageError = 2;

const char* const kUsage =
    "usage: lirra-server [--listen ADDR:PORT] [--host NAME]... [--data DIR] [--library DIR]...\n"
    "                    [--threads N]\n"
    "  --listen ADDR:PORT  address to listen on (default 127.0.0.1:0, a free port);\n"
    "                      IPv6 as [ADDR]:PORT\n"
    "  --host NAME         a host name the service answers to, as NAME or NAME:PORT; may be\n"
    "                      repeated. Requests naming another host are refused (421). On a\n"
    "                      loopback address localhost, 127.0.0.1 and [::1] are always served;\n"
    "                      on another address with no --host, any host name is served\n"
    "  --data DIR          where the store lives (default $XDG_DATA_HOME/lirra)\n"
    "  --library DIR       a folder of subtitle files to offer; may be repeated\n"
    "  --threads N         request threads (default: chosen from the number of cores)\n"
    "  --opensubtitles-key-file PATH\n"
    "                      a file holding your OpenSubtitles.com API key; with it, videos\n"
    "                      with no subtitles of their own are looked up there by hash\n"
    "  --opensubtitles-url URL\n"
    "                      that API's root (default https://api.opensubtitles.com/api/v1)\n"
    "  --anki-url URL      where AnkiConnect answers, for the notebook's cards\n"
    "                      (default http://127.0.0.1:8765)\n"
    "  --anki-key-file PATH\n"
    "                      a file holding AnkiConnect's key, when it asks for one\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "lirra-server: %s\n%s", message.c_str(), kUsage);
    return kUsageError;
}

// The first line of a small file, without its line break; false when it cannot be read.
bool readFirstLine(const std::string& path, std::string& line) {
    std::ifstream in(path);
    if (!in || !std::getline(in, line) || line.size() > 1024) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool parsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long value = std::stoul(text);
    if (value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool parseListen(const std::string& text, lirra::server::ServerOptions& options) {
    std::string host, port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) return false;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty() || !parsePort(port, options.port)) return false;
    options.listenAddress = host;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    lirra::server::ServerOptions options;
    bool haveListen = false, haveData = false, haveThreads = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--opensubtitles-key-file" || arg == "--opensubtitles-url") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return usageError(arg + " needs a value");
            (arg == "--opensubtitles-url" ? options.openSubtitlesUrl
                                          : options.openSubtitlesKeyFile) = argv[++i];
            continue;
        }
        if (arg == "--anki-url" || arg == "--anki-key-file") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return usageError(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--anki-url") {
                options.ankiUrl = value;
            } else if (!readFirstLine(value, options.ankiKey)) {
                return usageError("cannot read the AnkiConnect key from " + value);
            }
            continue;
        }
        if (arg != "--listen" && arg != "--host" && arg != "--data" && arg != "--library" &&
            arg != "--threads") {
            return usageError("unknown argument: " + arg);
        }
        if (i + 1 >= argc) return usageError(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--listen") {
            if (haveListen) return usageError("--listen given twice");
            if (!parseListen(value, options))
                return usageError("--listen expects ADDR:PORT, got " + value);
            haveListen = true;
        } else if (arg == "--host") {
            if (!lirra::server::isHostName(value)) {
                return usageError("--host expects NAME or NAME:PORT, got " + value);
            }
            options.hostNames.push_back(value);
        } else if (arg == "--data") {
            if (haveData) return usageError("--data given twice");
            if (value.empty()) return usageError("--data needs a folder");
            options.dataDirectory = value;
            haveData = true;
        } else if (arg == "--library") {
            if (value.empty()) return usageError("--library needs a folder");
            options.libraryFolders.push_back(value);
        } else {
            std::uint16_t threads = 0;
            if (haveThreads || !parsePort(value, threads) || threads == 0 || threads > 1024) {
                return usageError("--threads expects a number from 1 to 1024");
            }
            options.threadCount = threads;
            haveThreads = true;
        }
    }

    // Block the stop signals in every thread; the main thread waits for them below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    lirra::server::Server server(options);
    if (const auto error = server.start(); !error.empty()) {
        std::fprintf(stderr, "lirra-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("lirra-server: serving %s\n", server.baseUrl().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    std::fprintf(stderr, "lirra-server: %s received, stopping\n",
                 received == SIGINT ? "SIGINT" : "SIGTERM");
    server.stop();
    return 0;
}
