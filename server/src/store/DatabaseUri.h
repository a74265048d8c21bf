// SPDX-License-Identifier: GPL-3.0-or-later
// What lirra-server takes as --database: a libpq connection URI of PostgreSQL whose password
// comes from elsewhere (--database-password-file, PGPASSFILE or ~/.pgpass), since a command line
// is seen by every user of the machine.
#pragma once

#include <string>

namespace lirra::server {

// Empty when `uri` will do, else why not (without the URI's user information).
std::string databaseUriProblem(const std::string& uri);

}  // namespace lirra::server
