// SPDX-License-Identifier: GPL-3.0-or-later
// An online copy of the SQLite store (lirra-server backup): SQLite's backup API, a few pages a
// step so that a service writing the same database waits at most a step, into a temporary file
// beside the copy that takes the copy's name only once it is whole.
#pragma once

#include <string>

namespace lirra::server {

// The store's file under a data directory, as SqliteStore keeps it.
inline constexpr char kSqliteFileName[] = "lirra.sqlite3";

// Copies the store under `dataDirectory` to `file`, which must not exist (the copy is the
// owner's alone: 0600). False with the reason in `error`; then `file` is left as it was.
bool backupSqliteStore(const std::string& dataDirectory, const std::string& file,
                       std::string& error);

}  // namespace lirra::server
