// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ConfigCheck.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "http/ClientAddress.h"
#include "http/HttpAdapter.h"
#include "service/Service.h"
#include "store/SqliteBackup.h"
#include "store/SqliteStore.h"
#include "store/postgres/Postgres.h"

namespace lirra::server {
namespace {

CheckLine dataFolder(const std::string& folder) {
    const std::string what = "data folder " + folder + ": ";
    if (folder.empty())
        return {false, "no data folder: give --data (neither XDG_DATA_HOME nor HOME)"};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return {false, what + "cannot be created: " + ec.message()};
    // A file made and removed: permission bits alone do not tell (root, read-only mounts).
    std::string probe = folder + "/.lirra-check-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) return {false, what + "not writable: " + std::strerror(errno)};
    close(fd);
    unlink(probe.c_str());
    return {true, what + "writable"};
}

// What a proxy in front must let through: the largest body any route takes.
CheckLine bodyLimit(Store& store) {
    Library library{0};
    const ServiceContext context{store, library, ServiceLimits{}, [] { return std::string(); }};
    std::size_t largest = 0;
    for (const auto& route : serviceRoutes(context))
        largest = std::max(largest, route.maxBodyBytes);
    return {true, "request bodies up to " + std::to_string(largest >> 20) +
                      " MiB: a proxy in front must accept as much"};
}

// The store's line, and for SQLite the routes' body limit, which needs a store to be bound to.
void store(const ConfigToCheck& config, const std::string& folder, std::vector<CheckLine>& lines) {
    std::string error;
    if (!config.database.empty()) {
        const bool ok =
            pg::Connection::open(config.database, config.databasePassword, error) != nullptr;
        lines.push_back({ok, "PostgreSQL store: " + (ok ? std::string("connects") : error)});
        return;
    }
    const std::string what = "SQLite store " + folder + "/" + kSqliteFileName + ": ";
    auto sqlite = SqliteStore::open(folder, error);
    if (!sqlite || sqlite->ready(error) != StoreStatus::Ok) {
        lines.push_back({false, what + error});
        return;
    }
    lines.push_back({true, what + "opens at this build's schema"});
    lines.push_back(bodyLimit(*sqlite));
}

CheckLine listen(const ServerOptions& options) {
    const std::string& address = options.listenAddress;
    const std::string where =
        (address.find(':') != std::string::npos ? "[" + address + "]" : address) + ":" +
        std::to_string(options.port);
    if (address != "localhost" && !parseIpAddress(address))
        return {false, "listen " + where + ": not a numeric IP address or localhost"};
    if (options.port == 0) return {true, "listen " + where + ": any free port"};
    std::uint16_t bound = 0;
    HttpServer probe({}, 1);
    const auto error =
        probe.bind(address == "localhost" ? "127.0.0.1" : address, options.port, bound);
    if (!error.empty()) return {false, "listen " + where + ": the port is taken or not allowed"};
    return {true, "listen " + where + ": free"};
}

CheckLine readable(const std::string& what, const std::string& path, bool folder) {
    std::error_code ec;
    const bool kind = folder ? std::filesystem::is_directory(path, ec)
                             : std::filesystem::is_regular_file(path, ec);
    if (!kind || access(path.c_str(), folder ? R_OK | X_OK : R_OK) != 0)
        return {false, what + " " + path + ": not readable"};
    return {true, what + " " + path + ": readable"};
}

}  // namespace

std::vector<CheckLine> checkConfiguration(const ConfigToCheck& config) {
    const ServerOptions& options = config.options;
    const std::string folder =
        options.dataDirectory.empty() ? defaultDataDirectory() : options.dataDirectory;
    std::vector<CheckLine> lines = {dataFolder(folder)};
    if (lines.front().ok || !config.database.empty()) store(config, folder, lines);
    lines.push_back(listen(options));
    if (!options.openSubtitlesKeyFile.empty())
        lines.push_back(readable("OpenSubtitles key file", options.openSubtitlesKeyFile, false));
    for (const auto& library : options.libraryFolders)
        lines.push_back(readable("library", library, true));
    return lines;
}

std::string checkReport(const std::vector<CheckLine>& lines) {
    std::string report;
    for (const auto& line : lines) report += (line.ok ? "ok    " : "FAIL  ") + line.text + "\n";
    return report;
}

}  // namespace lirra::server
