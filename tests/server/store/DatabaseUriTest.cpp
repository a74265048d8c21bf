// SPDX-License-Identifier: GPL-3.0-or-later
// Which --database values lirra-server takes: PostgreSQL URIs, none carrying a password.
#include <gtest/gtest.h>

#include "store/DatabaseUri.h"

namespace lirra::server {
namespace {

TEST(DatabaseUri, OnlyPostgresqlUrisWithoutAPassword) {
    // Each: the URI, and the start of the problem told (empty: none).
    const std::pair<const char*, std::string> cases[] = {
        {"postgresql://lirra@db.example:5433/lirra?sslmode=require", ""},
        {"postgres:///lirra", ""},
        {"postgresql://lirra@db/x?application_name=password=a:b", ""},
        {"postgresql://db/lirra?user=a@b:c", ""},
        {"mysql://lirra@db/lirra", "--database expects a postgresql://"},
        {"postgresq://db/lirra", "--database expects"},
        {"/var/lib/lirra.sqlite3", "--database expects"},
        {"", "--database expects"},
        {"postgresql://lirra:secret@db/lirra", "--database: a password in the URI"},
        {"postgres://lirra:@db", "--database: a password"},
        {"postgresql://db/lirra?sslmode=require&password=secret", "--database: a password"},
        {"postgresql://db/lirra?password=secret", "--database: a password"},
    };
    for (const auto& [uri, problem] : cases) {
        const std::string told = databaseUriProblem(uri);
        EXPECT_EQ(told.substr(0, problem.size()), problem) << uri;
        EXPECT_EQ(told.empty(), problem.empty()) << uri << ": " << told;
        EXPECT_EQ(told.find("secret"), std::string::npos) << told;
    }
}

}  // namespace
}  // namespace lirra::server
