// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite store's schema, as a list of migrations recorded in PRAGMA user_version.
#pragma once

#include <string>

#include "store/Sqlite.h"

namespace lirra::server {

// Brings the database to the latest schema in one write transaction; refuses a database newer
// than this build. False with the reason in `error`.
bool migrateSchema(sqlite::Connection& db, std::string& error);
// Migrates only as far as `version` (an older build's schema, to move data from).
bool migrateSchemaTo(sqlite::Connection& db, int version, std::string& error);

// The schema version migrateSchema brings a database to.
int latestSchemaVersion();

}  // namespace lirra::server
