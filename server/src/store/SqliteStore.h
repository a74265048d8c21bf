// SPDX-License-Identifier: GPL-3.0-or-later
// The store in SQLite under the data directory: one database file, private to the learner.
#pragma once

#include <memory>
#include <string>

#include "store/AlignmentFitter.h"
#include "store/Store.h"

namespace lirra::server {

struct SqliteStore {
    // Creates the directory and the database when missing, then prepares the store
    // (DatabaseStore::prepare). `fitter` must outlive the store. Null with the reason in `error`.
    static std::unique_ptr<Store> open(const std::string& dataDirectory, std::string& error,
                                       const AlignmentFitter* fitter = nullptr);
};

}  // namespace lirra::server
