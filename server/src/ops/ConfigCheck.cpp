// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ConfigCheck.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "http/ClientAddress.h"
#include "http/HttpAdapter.h"
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

CheckLine store(const ConfigToCheck& config, const std::string& folder) {
    std::string error;
    if (!config.database.empty()) {
        if (!pg::Connection::open(config.database, config.databasePassword, error))
            return {false, "PostgreSQL store: " + error};
        return {true, "PostgreSQL store: connects"};
    }
    const std::string what = "SQLite store " + folder + "/" + kSqliteFileName + ": ";
    auto sqlite = SqliteStore::open(folder, error);
    if (!sqlite || sqlite->ready(error) != StoreStatus::Ok) return {false, what + error};
    return {true, what + "opens at this build's schema"};
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
    if (lines.front().ok || !config.database.empty()) lines.push_back(store(config, folder));
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
