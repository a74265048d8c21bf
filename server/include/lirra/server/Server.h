// SPDX-License-Identifier: GPL-3.0-or-later
// The embeddable Lirra web service: the app runs it in-process on loopback, the lirra-server
// executable runs it standalone. Nothing here throws; failures come back as error texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lirra::server {

struct ServerOptions {
    std::string listenAddress = "127.0.0.1";  // numeric IPv4/IPv6 or "localhost"
    std::uint16_t port = 0;                   // 0 picks a free port
    // When `port` is taken, listen on a free one instead of failing (the app's built-in service
    // prefers one port so that its pages keep one origin, and their stored settings, across runs).
    bool anyPortIfTaken = false;
    std::string dataDirectory;  // empty: defaultDataDirectory()
    // When not empty, the store is this PostgreSQL database (a postgresql:// URI without a
    // password) rather than SQLite under the data directory; `databasePassword`, when not
    // empty, is its password, and at most `databaseConnections` are open at once.
    std::string databaseUri;
    std::string databasePassword;
    int databaseConnections = 8;
    std::vector<std::string> libraryFolders;  // searched for subtitle files beside videos
    unsigned threadCount = 0;                 // request threads; 0: a default suited to the machine
    // The online subtitle database: a file holding the learner's API key (without one, and
    // without a key saved from the home page, nothing is ever sent) and the API's root (empty:
    // the public one; plain http only on loopback).
    std::string openSubtitlesKeyFile;
    std::string openSubtitlesUrl;
    // AnkiConnect, where the notebook sends its cards (empty: http://127.0.0.1:8765), and its
    // optional key.
    std::string ankiUrl;
    std::string ankiKey;
    // Host names served besides the service's own address ("lirra.example", "name:8080"). On a
    // loopback address localhost, 127.0.0.1 and [::1] are served too; elsewhere, with no name
    // given, any Host is served.
    std::vector<std::string> hostNames;
    // When not empty, every request must carry it, as the cookie kSecretCookie or the header
    // kSecretHeader, or gets 401 (the app's embedded service: no other local user gets in).
    std::string secret;
    // Reverse proxies (numeric addresses) whose X-Forwarded-For names the client; from any other
    // peer the header is ignored.
    std::vector<std::string> trustedProxies;
    // "off" (one learner, as the app's own service has), "optional" (a visitor without an
    // account gets a space of their own) or "required" (every page and API needs a session).
    std::string accounts = "off";
};

inline constexpr char kSecretCookie[] = "lirra_key";
inline constexpr char kSecretHeader[] = "X-Lirra-Key";

// A new secret for ServerOptions::secret: 256 bits from the system's random source, in hex;
// empty when that source fails.
std::string makeSecret();

// $XDG_DATA_HOME/lirra, else ~/.local/share/lirra.
std::string defaultDataDirectory();

// A port from 20000 to 29999 that depends only on the data directory: the app's built-in
// service asks for it first, so the same learner's pages get the same origin every run.
std::uint16_t stablePortFor(const std::string& dataDirectory);

// True for 127.0.0.0/8, ::1 and "localhost".
bool isLoopbackAddress(const std::string& address);

// True for what ServerOptions::hostNames takes: a host name, an IPv4 address or a bracketed IPv6
// address, with an optional ":PORT".
bool isHostName(const std::string& name);

class Server {
  public:
    explicit Server(ServerOptions options = {});
    ~Server();  // stops the server
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the store and starts listening; returns an empty text on success, else why not.
    // Once it returns successfully the port is bound and requests are being served.
    std::string start();
    // Stops listening, finishes the requests in flight, closes the store. Idempotent.
    void stop();
    bool isRunning() const;

    std::uint16_t port() const;  // the bound port; 0 before start
    // "http://HOST:PORT/", ending in "/"; a wildcard listen address gives the loopback host.
    std::string baseUrl() const;

    // Adds a folder whose subtitle files are offered for videos of the same name (the app adds
    // the folder of each video it opens). Thread-safe, before or after start. Returns an empty
    // text on success, else why the folder was refused.
    std::string addLibraryFolder(const std::string& path);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lirra::server
