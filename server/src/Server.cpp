// SPDX-License-Identifier: GPL-3.0-or-later
#include "lirra/server/Server.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/random.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "TrackRefit.h"
#include "accounts/Accounts.h"
#include "dictionary/DictionaryService.h"
#include "http/HttpAdapter.h"
#include "http/RequestGuard.h"
#include "notebook/Notebook.h"
#include "service/AccountPages.h"
#include "service/HandlerSupport.h"
#include "service/Service.h"
#include "sources/ContainerSource.h"
#include "sources/Library.h"
#include "sources/online/OnlineSource.h"
#include "store/PostgresStore.h"
#include "store/SqliteStore.h"

namespace lirra::server {

namespace {

constexpr std::size_t kMaxSubtitleBytes = 8 * 1024 * 1024;

unsigned defaultThreadCount() {
    // A request thread is held by each open keep-alive connection, so there are more threads
    // than cores; they mostly wait on sockets.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max(32u, 8 * cores);
}

std::string bindAddress(const std::string& address) {
    return address == "localhost" ? "127.0.0.1" : address;
}

}  // namespace

std::string defaultDataDirectory() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        return std::string(xdg) + "/lirra";
    }
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return std::string(home) + "/.local/share/lirra";
    }
    return {};
}

std::uint16_t stablePortFor(const std::string& dataDirectory) {
    // FNV-1a: stable across runs and builds, unlike std::hash. 20000-29999 lies below Linux's
    // range of ports handed out for outgoing connections (32768 and up).
    std::uint32_t hash = 2166136261u;
    for (const unsigned char c : dataDirectory) hash = (hash ^ c) * 16777619u;
    return static_cast<std::uint16_t>(20000 + hash % 10000);
}

std::string makeSecret() {
    unsigned char bytes[32];
    std::size_t have = 0;
    while (have < sizeof bytes) {
        const ssize_t got = getrandom(bytes + have, sizeof bytes - have, 0);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            return {};
        }
        have += static_cast<std::size_t>(got);
    }
    std::string text;
    for (const unsigned char b : bytes) {
        text += "0123456789abcdef"[b >> 4];
        text += "0123456789abcdef"[b & 15];
    }
    return text;
}

bool isHostName(const std::string& name) { return parseAuthority(name).has_value(); }

bool isLoopbackAddress(const std::string& address) {
    if (address == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

struct Server::Impl {
    ServerOptions options;
    Library library{kMaxSubtitleBytes};
    const sync::TrackRefit refit;  // the store's fits
    std::unique_ptr<Store> store;
    std::unique_ptr<ContainerSource> containerSource;
    std::unique_ptr<online::OnlineSource> onlineSource;
    std::unique_ptr<notebook::Notebook> notebook;
    std::unique_ptr<accounts::Accounts> accounts;
    // Read by the online source's workers, so that links back to this service are refused.
    std::shared_ptr<std::atomic<int>> selfPort = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<ServiceContext> service;
    std::unique_ptr<dictionary::DictionaryService> dictionaries;  // outlives the routes
    std::unique_ptr<HttpServer> http;
    std::thread thread;
    std::uint16_t port = 0;
    mutable std::mutex mutex;  // start, stop and the fields above

    std::string hostForUrl() const {
        const std::string& a = options.listenAddress;
        if (a == "0.0.0.0" || a == "localhost" || a.empty()) return "127.0.0.1";
        if (a == "::") return "[::1]";
        if (a.find(':') != std::string::npos) return "[" + a + "]";
        return a;
    }

    std::string baseUrl() const {
        return "http://" + hostForUrl() + ":" + std::to_string(port) + "/";
    }

    // The names the service answers to on `boundPort`; none (any Host) when it listens on
    // another address than loopback and no name was given.
    std::vector<ServedName> servedNames(std::uint16_t boundPort) const {
        std::vector<ServedName> served;
        for (const auto& text : options.hostNames) {
            const auto authority = parseAuthority(text);
            if (!authority) continue;
            served.push_back({authority->name, authority->port.value_or(boundPort),
                              !authority->port.has_value()});
        }
        const bool loopback = isLoopbackAddress(options.listenAddress);
        if (served.empty() && !loopback) return served;
        std::vector<std::string> own = {hostForUrl()};
        if (loopback) {
            own.insert(own.end(), {"localhost", "127.0.0.1", "[::1]"});
            const std::string& a = options.listenAddress;
            own.push_back(a.find(':') != std::string::npos ? "[" + a + "]" : a);
        }
        for (const auto& name : own) {
            if (const auto authority = parseAuthority(name)) {
                served.push_back({authority->name, boundPort, false});
            }
        }
        return served;
    }

    void stopLocked() {
        if (http) http->stop();
        if (thread.joinable()) thread.join();
        http.reset();
        service.reset();
        notebook.reset();
        accounts.reset();
        onlineSource.reset();     // its jobs use the store and ask the container source
        containerSource.reset();  // waits for the track being read, which uses the store
        store.reset();
        port = 0;
    }
};

Server::Server(ServerOptions options) : impl_(new Impl) { impl_->options = std::move(options); }

Server::~Server() { stop(); }

std::string Server::start() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->http) return "the server is already running";
    auto& options = impl_->options;
    in_addr v4{};
    in6_addr v6{};
    if (options.listenAddress != "localhost" &&
        inet_pton(AF_INET, options.listenAddress.c_str(), &v4) != 1 &&
        inet_pton(AF_INET6, options.listenAddress.c_str(), &v6) != 1) {
        return "the listen address must be a numeric IP address or localhost: " +
               options.listenAddress;
    }
    for (const auto& name : options.hostNames) {
        if (!isHostName(name)) return "not a host name: " + name;
    }
    std::vector<IpAddress> proxies;
    for (const auto& proxy : options.trustedProxies) {
        const auto address = parseIpAddress(proxy);
        if (!address) return "a trusted proxy must be a numeric IP address: " + proxy;
        proxies.push_back(*address);
    }
    const auto accountsMode = accounts::parseAccountsMode(options.accounts);
    if (!accountsMode) return "accounts must be off, optional or required: " + options.accounts;
    for (const auto& folder : options.libraryFolders) {
        if (auto error = impl_->library.addFolder(folder); !error.empty()) return error;
    }
    const std::string dataDirectory =
        options.dataDirectory.empty() ? defaultDataDirectory() : options.dataDirectory;
    std::string error;
    std::unique_ptr<Store> store =
        options.databaseUri.empty()
            ? SqliteStore::open(dataDirectory, error, &impl_->refit)
            : PostgresStore::open(options.databaseUri, options.databasePassword,
                                  options.databaseConnections, error, &impl_->refit);
    if (!store) return error;

    // A client that goes away mid-answer must not end the process (the app's included).
    signal(SIGPIPE, SIG_IGN);
    Impl* impl = impl_.get();
    auto service = std::make_unique<ServiceContext>(
        ServiceContext{*store, impl->library, ServiceLimits{}, [impl] { return impl->baseUrl(); }});
    impl->dictionaries = std::make_unique<dictionary::DictionaryService>(
        dictionary::DictionaryOptions{dictionary::defaultDictionaryFolders(dataDirectory)});
    impl->dictionaries->closeWhenIdle(dictionary::DictionaryService::kIdleBeforeClosing);
    service->dictionaries = impl->dictionaries.get();
    auto containerSource = std::make_unique<ContainerSource>(*store, impl->library);
    service->sources.push_back(containerSource.get());
    online::OnlineSourceOptions onlineOptions;
    onlineOptions.client.userAgent = "Lirra v" LIRRA_VERSION;
    onlineOptions.client.selfPort = [selfPort = impl->selfPort] { return selfPort->load(); };
    onlineOptions.dataDirectory = dataDirectory;
    onlineOptions.keyFile = options.openSubtitlesKeyFile;
    onlineOptions.apiUrl = options.openSubtitlesUrl;
    onlineOptions.prepare = [](const std::string& name, std::string bytes,
                               SubtitleContent& content) {
        const auto refusal = prepareSubtitle(name, std::move(bytes), kMaxSubtitleBytes, content);
        return refusal ? refusal->reason : std::string();
    };
    auto onlineSource = std::make_unique<online::OnlineSource>(
        *store, std::vector<const SubtitleSource*>{containerSource.get()},
        std::move(onlineOptions));
    if (auto onlineError = onlineSource->start(); !onlineError.empty()) return onlineError;
    service->sources.push_back(onlineSource.get());
    service->online = onlineSource.get();
    notebook::AnkiSettings anki;
    if (!options.ankiUrl.empty()) anki.url = options.ankiUrl;
    anki.key = options.ankiKey;
    // A wrong address must not keep the service from starting: sending to Anki says why.
    if (auto ankiError = notebook::checkAnkiUrl(anki.url); !ankiError.empty()) {
        std::fprintf(stderr, "lirra-server: the Anki address %s is unusable: %s\n",
                     anki.url.c_str(), ankiError.c_str());
    }
    auto notebook = std::make_unique<notebook::Notebook>(
        *store, [impl] { return impl->library.folders(); }, anki);
    service->notebook = notebook.get();
    auto accountsPart = std::make_unique<accounts::Accounts>(*store, *accountsMode);
    service->accounts = accountsPart.get();
    const unsigned threads = options.threadCount ? options.threadCount : defaultThreadCount();
    auto http = std::make_unique<HttpServer>(serviceRoutes(*service), threads);
    std::uint16_t port = 0;
    error = http->bind(bindAddress(options.listenAddress), options.port, port);
    if (!error.empty() && options.port != 0 && options.anyPortIfTaken) {
        error = http->bind(bindAddress(options.listenAddress), 0, port);
    }
    if (!error.empty()) return error;
    const std::string ownOrigin = "http://" + impl->hostForUrl() + ":" + std::to_string(port);
    http->setGuard(RequestGuard(impl->servedNames(port), ownOrigin,
                                {kSecretCookie, kSecretHeader, options.secret}));
    http->setClientAddress(ClientAddress(std::move(proxies)));
    if (*accountsMode != accounts::AccountsMode::Off) {
        http->setLayer([context = service.get()](HttpRequest& request, const Handler& handler) {
            return accountLayer(*context, request, handler);
        });
    }
    if (!isLoopbackAddress(options.listenAddress)) {
        std::fprintf(stderr,
                     "lirra-server: listening on %s, which is not a loopback address: other "
                     "machines can reach this service%s\n",
                     options.listenAddress.c_str(),
                     options.hostNames.empty() ? " under any host name (--host limits them)" : "");
    }
    impl->store = std::move(store);
    impl->containerSource = std::move(containerSource);
    impl->onlineSource = std::move(onlineSource);
    impl->notebook = std::move(notebook);
    impl->accounts = std::move(accountsPart);
    impl->service = std::move(service);
    impl->http = std::move(http);
    impl->port = port;
    impl->selfPort->store(port);
    HttpServer* server = impl->http.get();
    impl->thread = std::thread([server] { server->run(); });
    // stop() only takes effect once the server runs; waiting here makes stop() always work.
    if (!server->waitUntilRunning(std::chrono::seconds(10))) {
        impl->stopLocked();
        return "the server did not start";
    }
    return {};
}

void Server::stop() {
    std::lock_guard lock(impl_->mutex);
    impl_->stopLocked();
}

bool Server::isRunning() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->http != nullptr;
}

std::uint16_t Server::port() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->port;
}

std::string Server::baseUrl() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->baseUrl();
}

std::string Server::addLibraryFolder(const std::string& path) {
    return impl_->library.addFolder(path);
}

}  // namespace lirra::server
