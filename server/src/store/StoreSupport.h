// SPDX-License-Identifier: GPL-3.0-or-later
// What every part of DatabaseStore shares: the clock rows are stamped with, and the one way a
// database failure is reported to the caller.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "store/AlignmentFitter.h"
#include "store/DatabaseStore.h"
#include "store/Store.h"

namespace lirra::server {

inline std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

template <class Connection>
StoreStatus failed(Connection& db, std::string& error) {
    error =
        (db.lastErrorBusy() ? std::string(kStoreBusy) + ": " : "database error: ") + db.lastError();
    return StoreStatus::Failed;
}

// The row `st` answers, taken by `read` (which answers for it); NotFound without one.
template <class Connection, class Statement, class Read>
StoreStatus oneRow(Connection& db, Statement& st, std::string& error, Read read) {
    switch (st.step()) {
        case Statement::Step::Row:
            return read();
        case Statement::Step::Done:
            return StoreStatus::NotFound;
        case Statement::Step::Error:
            break;
    }
    return failed(db, error);
}

// Word imports a crash left: unfinished ones undone, finished ones rid of their undo rows
// (StoreWords.h). False on a database error.
template <class D>
bool settleWordImports(typename D::Connection& db);

// The tracks are held whatever becomes of their fit: a fit not kept now is made at the next
// open, so a failure here is logged rather than answered.
template <class D>
void refitLogged(typename D::Connection& db, const AlignmentFitter* fitter, std::int64_t videoId);

}  // namespace lirra::server
