// SPDX-License-Identifier: GPL-3.0-or-later
// What every part of SqliteStore shares: the clock rows are stamped with, and the one way a
// database failure is reported to the caller.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "store/Sqlite.h"
#include "store/Store.h"

namespace lirra::server {

inline std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

inline StoreStatus failed(sqlite::Connection& db, std::string& error) {
    error = "database error: " + db.lastError();
    return StoreStatus::Failed;
}

}  // namespace lirra::server
