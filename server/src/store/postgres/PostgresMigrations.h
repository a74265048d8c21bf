// SPDX-License-Identifier: GPL-3.0-or-later
// The store's schema in PostgreSQL: the SQLite schema's migrations (store/SqliteMigrations.cpp),
// numbered alike, in PostgreSQL's types, the version kept in a table of its own.
#pragma once

#include <string>

#include "store/postgres/Postgres.h"

namespace lirra::server::pg {

// The number of migrations this build knows, the SQLite schema's number too.
int schemaVersion();

// Brings the database to the latest schema in one transaction under an advisory lock, so that
// of several services starting at once on one database one migrates and the others wait and
// find it current; refuses a database newer than this build. False with the reason in `error`.
bool migrateSchema(Connection& db, std::string& error);
// Migrates only as far as `version` (an older build's schema, to move data from).
bool migrateSchemaTo(Connection& db, int version, std::string& error);

}  // namespace lirra::server::pg
