// SPDX-License-Identifier: GPL-3.0-or-later
// The store in a PostgreSQL database several services may share, over a pool of connections.
#pragma once

#include <memory>
#include <string>

#include "store/AlignmentFitter.h"
#include "store/Store.h"

namespace lirra::server {

struct PostgresStore {
    // `uri` names the database (store/DatabaseUri.h), `password` is used when not empty, at most
    // `connections` are open at once. Prepares the store as SqliteStore::open does. Null with
    // the reason in `error`.
    static std::unique_ptr<Store> open(const std::string& uri, const std::string& password,
                                       int connections, std::string& error,
                                       const AlignmentFitter* fitter = nullptr);
};

}  // namespace lirra::server
