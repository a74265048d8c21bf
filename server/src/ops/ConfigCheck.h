// SPDX-License-Identifier: GPL-3.0-or-later
// lirra-server --check-config: what starting to serve would need, checked one thing a line
// without serving, so that a unit's ExecStartPre= or an administrator sees every problem at once.
#pragma once

#include <string>
#include <vector>

#include "lirra/server/Server.h"

namespace lirra::server {

struct CheckLine {
    bool ok = false;
    std::string text;
};

struct ConfigToCheck {
    ServerOptions options;
    std::string database;  // a PostgreSQL URI, or empty for SQLite under the data folder
    std::string databasePassword;
};

// The data folder (created when missing, then written to), the store (opened and migrated, or
// for PostgreSQL connected to) with the largest request body a proxy must pass, the listen
// address (numeric, its port free), the key file and the library folders (readable).
std::vector<CheckLine> checkConfiguration(const ConfigToCheck& config);

// "ok    TEXT" or "FAIL  TEXT", a line each.
std::string checkReport(const std::vector<CheckLine>& lines);

}  // namespace lirra::server
