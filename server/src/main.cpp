// SPDX-License-Identifier: GPL-3.0-or-later
// lirra-server: runs the Lirra web service standalone until SIGINT or SIGTERM.
#include <getopt.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "accounts/Accounts.h"
#include "http/ClientAddress.h"
#include "lirra/server/Server.h"
#include "ops/ConfigCheck.h"
#include "store/DatabaseUri.h"
#include "store/PostgresStore.h"
#include "store/SqliteBackup.h"
#include "store/SqliteStore.h"

namespace {

constexpr int kUsageError = 2;

const char* const kUsage =
    "usage: lirra-server [OPTION]...\n"
    "       lirra-server backup [--data DIR] FILE\n"
    "       lirra-server account create [--admin] [--data DIR | --database URI]\n"
    "                    [--password-file FILE] NAME\n"
    "The second form copies the store, while a service may be using it, to FILE, a new file.\n"
    "The third makes an account (an administrator's with --admin), its password read twice\n"
    "from the terminal, or from the first line of FILE; the first account takes over what\n"
    "the service kept before it had accounts.\n"
    "An option takes its value after a space or an equals sign (--listen=ADDR:PORT);\n"
    "-- ends the options.\n"
    "  --listen ADDR:PORT  address to listen on (default 127.0.0.1:0, a free port);\n"
    "                      IPv6 as [ADDR]:PORT\n"
    "  --host NAME         a host name the service answers to, as NAME or NAME:PORT; may be\n"
    "                      repeated. Requests naming another host are refused (421). On a\n"
    "                      loopback address localhost, 127.0.0.1 and [::1] are always served;\n"
    "                      on another address with no --host, any host name is served\n"
    "  --data DIR          where the store lives (default $XDG_DATA_HOME/lirra)\n"
    "  --database URI      keep the data in PostgreSQL (postgresql://USER@HOST/NAME)\n"
    "                      rather than in SQLite under --data\n"
    "  --database-password-file PATH\n"
    "                      a file whose first line is the database's password (else\n"
    "                      PGPASSFILE or ~/.pgpass; never in the URI)\n"
    "  --database-connections N\n"
    "                      connections to the database open at most (1 to 100, default 8)\n"
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
    "                      a file holding AnkiConnect's key, when it asks for one\n"
    "  --secret-file PATH  a file whose first line (32 characters or more) every request\n"
    "                      must carry, as the cookie lirra_key or the header X-Lirra-Key;\n"
    "                      without it none is asked for (401 otherwise)\n"
    "  --accounts MODE     off (default: one learner, no accounts), optional (a visitor\n"
    "                      without an account gets a space of their own, kept when they\n"
    "                      register) or required (every page and API needs a session)\n"
    "  --trust-proxy ADDR  a reverse proxy (numeric IPv4 or IPv6) whose X-Forwarded-For\n"
    "                      names the client; may be repeated. From any other peer the\n"
    "                      header is ignored\n"
    "  --check-config      check what serving needs (data folder, store, listen address,\n"
    "                      files), a line each, and exit: 0 when all pass, else 1\n"
    "  -h, --help          this text\n"
    "  -v, --version       the version\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "lirra-server: %s\nTry 'lirra-server --help' for the options.\n",
                 message.c_str());
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

enum Option {
    kListen = 256,
    kHost,
    kData,
    kLibrary,
    kThreads,
    kOpenSubtitlesKeyFile,
    kOpenSubtitlesUrl,
    kAnkiUrl,
    kAnkiKeyFile,
    kSecretFile,
    kDatabase,
    kDatabasePasswordFile,
    kTrustProxy,
    kCheckConfig,
    kDatabaseConnections,
    kAccounts,
    kAdmin,
    kPasswordFile,
};

constexpr std::size_t kMinSecretLength = 32;

constexpr option kOptions[] = {
    {"listen", required_argument, nullptr, kListen},
    {"host", required_argument, nullptr, kHost},
    {"data", required_argument, nullptr, kData},
    {"library", required_argument, nullptr, kLibrary},
    {"threads", required_argument, nullptr, kThreads},
    {"opensubtitles-key-file", required_argument, nullptr, kOpenSubtitlesKeyFile},
    {"opensubtitles-url", required_argument, nullptr, kOpenSubtitlesUrl},
    {"anki-url", required_argument, nullptr, kAnkiUrl},
    {"anki-key-file", required_argument, nullptr, kAnkiKeyFile},
    {"secret-file", required_argument, nullptr, kSecretFile},
    {"database", required_argument, nullptr, kDatabase},
    {"database-password-file", required_argument, nullptr, kDatabasePasswordFile},
    {"trust-proxy", required_argument, nullptr, kTrustProxy},
    {"check-config", no_argument, nullptr, kCheckConfig},
    {"database-connections", required_argument, nullptr, kDatabaseConnections},
    {"accounts", required_argument, nullptr, kAccounts},
    {"admin", no_argument, nullptr, kAdmin},
    {"password-file", required_argument, nullptr, kPasswordFile},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

// What the command line asks besides serving.
struct Operations {
    bool checkConfig = false;
    bool backup = false;
    bool createAccount = false;
    bool admin = false;
    std::string passwordFile;
    // The option values read as they came, each as a check: a failure is a usage error unless
    // --check-config reports it with the rest.
    std::vector<lirra::server::CheckLine> read;
};

lirra::server::CheckLine optionCheck(bool ok, std::string passed, std::string failed) {
    return {ok, ok ? std::move(passed) : std::move(failed)};
}

int runBackup(const std::string& database, const std::string& dataDirectory,
              const std::string& file) {
    if (!database.empty()) {
        return usageError("backup copies the SQLite store; back up PostgreSQL with pg_dump");
    }
    const std::string folder =
        dataDirectory.empty() ? lirra::server::defaultDataDirectory() : dataDirectory;
    std::string error;
    if (!lirra::server::backupSqliteStore(folder, file, error)) {
        std::fprintf(stderr, "lirra-server: backup: %s\n", error.c_str());
        return 1;
    }
    std::printf("lirra-server: backed up %s/%s to %s\n", folder.c_str(),
                lirra::server::kSqliteFileName, file.c_str());
    return 0;
}

// A line from the terminal without echoing it; false at its end or when it cannot be read.
bool readHidden(const char* prompt, std::string& line) {
    std::fputs(prompt, stderr);
    termios old{};
    const bool terminal = tcgetattr(STDIN_FILENO, &old) == 0;
    if (terminal) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    line.clear();
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') line += char(c);
    if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    return c != EOF || !line.empty();
}

int runCreateAccount(const Operations& ops, const lirra::server::ServerOptions& options,
                     const std::string& database, const std::string& databasePassword,
                     const std::string& name) {
    std::string password;
    if (!ops.passwordFile.empty()) {
        if (!readFirstLine(ops.passwordFile, password)) {
            std::fprintf(stderr, "lirra-server: cannot read a password from %s\n",
                         ops.passwordFile.c_str());
            return 1;
        }
    } else {
        std::string again;
        if (!readHidden("Password: ", password) || !readHidden("Password again: ", again)) {
            return usageError("no password given");
        }
        if (again != password) return usageError("the passwords differ");
    }
    std::string error;
    const std::string folder = options.dataDirectory.empty() ? lirra::server::defaultDataDirectory()
                                                             : options.dataDirectory;
    auto store = database.empty()
                     ? lirra::server::SqliteStore::open(folder, error)
                     : lirra::server::PostgresStore::open(database, databasePassword, 1, error);
    if (!store) {
        std::fprintf(stderr, "lirra-server: %s\n", error.c_str());
        return 1;
    }
    namespace accounts = lirra::server::accounts;
    accounts::AccountAnswer answer;
    if (accounts::createAccount(*store, name, password, ops.admin, answer, error) !=
        lirra::server::StoreStatus::Ok) {
        std::fprintf(stderr, "lirra-server: %s\n", error.c_str());
        return 1;
    }
    switch (answer.outcome) {
        case accounts::Outcome::Done:
            std::printf("lirra-server: made the %saccount %s\n",
                        ops.admin ? "administrator's " : "", accounts::accountName(name)->c_str());
            return 0;
        case accounts::Outcome::Taken:
            std::fprintf(stderr, "lirra-server: the name %s is taken\n", name.c_str());
            return 1;
        case accounts::Outcome::BadName:
            return usageError("a name is 1 to 64 letters, digits and . _ @ -");
        default:
            return usageError("a password is 8 to 1024 bytes");
    }
}

int runCheck(const lirra::server::ServerOptions& options, const std::string& database,
             const std::string& databasePassword, std::vector<lirra::server::CheckLine> lines) {
    auto checked = lirra::server::checkConfiguration({options, database, databasePassword});
    lines.insert(lines.end(), checked.begin(), checked.end());
    std::fputs(lirra::server::checkReport(lines).c_str(), stdout);
    for (const auto& line : lines) {
        if (!line.ok) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    lirra::server::ServerOptions options;
    bool haveListen = false, haveData = false, haveThreads = false, havePassword = false,
         haveConnections = false;
    std::string database, databasePassword;
    Operations ops;
    // The subcommand comes first; its options follow it.
    if (argc > 1 && std::strcmp(argv[1], "backup") == 0) {
        ops.backup = true;
        optind = 2;
    } else if (argc > 2 && std::strcmp(argv[1], "account") == 0 &&
               std::strcmp(argv[2], "create") == 0) {
        ops.createAccount = true;
        optind = 3;
    }
    opterr = 0;  // our own messages, with the usage
    // "+": the first argument that is not an option ends them, as "--" does.
    for (int c; (c = getopt_long(argc, argv, "+:hv", kOptions, nullptr)) != -1;) {
        const std::string value = optarg ? optarg : "";
        const std::string given = argv[optind - 1];
        switch (c) {
            case 'h':
                std::fputs(kUsage, stdout);
                return 0;
            case 'v':
                std::printf("lirra-server %s\n", LIRRA_VERSION);
                return 0;
            case ':':
                return usageError(given + " needs a value");
            case '?':
                return usageError("unknown option: " + given);
            case kListen:
                if (haveListen) return usageError("--listen given twice");
                if (!parseListen(value, options)) {
                    return usageError("--listen expects ADDR:PORT, got " + value);
                }
                haveListen = true;
                break;
            case kHost:
                if (!lirra::server::isHostName(value)) {
                    return usageError("--host expects NAME or NAME:PORT, got " + value);
                }
                options.hostNames.push_back(value);
                break;
            case kData:
                if (haveData) return usageError("--data given twice");
                if (value.empty()) return usageError("--data needs a folder");
                options.dataDirectory = value;
                haveData = true;
                break;
            case kLibrary:
                if (value.empty()) return usageError("--library needs a folder");
                options.libraryFolders.push_back(value);
                break;
            case kThreads: {
                std::uint16_t threads = 0;
                if (haveThreads || !parsePort(value, threads) || threads == 0 || threads > 1024) {
                    return usageError("--threads expects a number from 1 to 1024");
                }
                options.threadCount = threads;
                haveThreads = true;
                break;
            }
            case kOpenSubtitlesKeyFile:
            case kOpenSubtitlesUrl:
            case kAnkiUrl:
                if (value.empty()) return usageError(given + " needs a value");
                (c == kOpenSubtitlesUrl ? options.openSubtitlesUrl
                 : c == kAnkiUrl        ? options.ankiUrl
                                        : options.openSubtitlesKeyFile) = value;
                break;
            case kAnkiKeyFile:
                ops.read.push_back(optionCheck(readFirstLine(value, options.ankiKey),
                                               "AnkiConnect key file " + value + ": readable",
                                               "cannot read the AnkiConnect key from " + value));
                break;
            case kSecretFile:
                ops.read.push_back(
                    optionCheck(readFirstLine(value, options.secret) &&
                                    options.secret.size() >= kMinSecretLength,
                                "secret file " + value + ": readable",
                                "cannot read a secret of 32 characters or more from " + value));
                break;
            case kTrustProxy:
                ops.read.push_back(
                    optionCheck(lirra::server::parseIpAddress(value).has_value(),
                                "trusted proxy " + value + ": numeric",
                                "--trust-proxy expects a numeric IP address, got " + value));
                options.trustedProxies.push_back(value);
                break;
            case kCheckConfig:
                ops.checkConfig = true;
                break;
            case kAccounts:
                if (!lirra::server::accounts::parseAccountsMode(value)) {
                    return usageError("--accounts expects off, optional or required, got " + value);
                }
                options.accounts = value;
                break;
            case kAdmin:
            case kPasswordFile:
                if (!ops.createAccount) return usageError(given + " is for account create");
                if (c == kAdmin)
                    ops.admin = true;
                else
                    ops.passwordFile = value;
                break;
            case kDatabase:
                if (!database.empty()) return usageError("--database given twice");
                if (const auto problem = lirra::server::databaseUriProblem(value);
                    !problem.empty()) {
                    return usageError(problem);
                }
                database = value;
                break;
            case kDatabasePasswordFile:
                if (!readFirstLine(value, databasePassword) || databasePassword.empty()) {
                    return usageError("cannot read the database's password from " + value);
                }
                havePassword = true;
                break;
            case kDatabaseConnections: {
                std::uint16_t connections = 0;
                if (haveConnections || !parsePort(value, connections) || connections == 0 ||
                    connections > 100) {
                    return usageError("--database-connections expects a number from 1 to 100");
                }
                options.databaseConnections = connections;
                haveConnections = true;
                break;
            }
        }
    }
    if (ops.backup) {
        if (optind != argc - 1 || ops.checkConfig) return usageError("backup takes one FILE");
        if (havePassword) return usageError("backup takes no --database-password-file");
        return runBackup(database, options.dataDirectory, argv[optind]);
    }
    if (ops.createAccount) {
        if (optind != argc - 1 || ops.checkConfig)
            return usageError("account create takes one NAME");
        return runCreateAccount(ops, options, database, databasePassword, argv[optind]);
    }
    if (optind < argc) return usageError(std::string("unexpected argument: ") + argv[optind]);
    if ((havePassword || haveConnections) && database.empty()) {
        return usageError(
            std::string(havePassword ? "--database-password-file" : "--database-connections") +
            " without --database");
    }
    if (ops.checkConfig) return runCheck(options, database, databasePassword, std::move(ops.read));
    for (const auto& line : ops.read) {
        if (!line.ok) return usageError(line.text);
    }
    options.databaseUri = database;
    options.databasePassword = databasePassword;

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
