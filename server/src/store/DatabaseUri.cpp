// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/DatabaseUri.h"

#include <string_view>

namespace lirra::server {

std::string databaseUriProblem(const std::string& uri) {
    std::string_view rest(uri);
    bool postgres = false;
    for (const std::string_view scheme : {"postgresql://", "postgres://"}) {
        if (!postgres && rest.substr(0, scheme.size()) == scheme) {
            rest.remove_prefix(scheme.size());
            postgres = true;
        }
    }
    if (!postgres) return "--database expects a postgresql:// or postgres:// URI";
    // user:password@host, before the path and the parameters; or a password=... parameter.
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?"));
    const auto at = authority.rfind('@');
    const auto query = rest.find('?');
    const bool inUser =
        at != std::string_view::npos && authority.substr(0, at).find(':') != std::string_view::npos;
    const bool inQuery =
        query != std::string_view::npos &&
        ("&" + std::string(rest.substr(query + 1))).find("&password=") != std::string::npos;
    if (inUser || inQuery) {
        return "--database: a password in the URI shows in the list of processes; give it in "
               "--database-password-file or ~/.pgpass instead";
    }
    return {};
}

}  // namespace lirra::server
