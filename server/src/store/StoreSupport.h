// SPDX-License-Identifier: GPL-3.0-or-later
// What every part of DatabaseStore shares: the clock rows are stamped with, and the one way a
// database failure is reported to the caller.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

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

// Holds `c` as a track of `videoId` that came from `origin` ("learner", "container", "online"):
// its bytes, its text and its cues, stamped `now`. Its id, or -1 on a database error.
template <class Connection>
std::int64_t insertTrack(Connection& db, std::int64_t videoId, const char* origin,
                         const SubtitleContent& c, std::int64_t now) {
    auto st = db.statement(
        "INSERT INTO subtitles (video_id, origin, file_name, language, format, encoding, "
        "original, text, created_at, stored_at, cues) VALUES (?1, ?10, ?2, ?3, ?4, ?5, ?6, ?7, "
        "?8, ?8, ?9) RETURNING id");
    st.bind(1, videoId).bind(2, c.fileName).bind(3, c.language).bind(4, c.format);
    st.bind(5, c.encoding).bindInPlace(6, c.original, true).bindInPlace(7, c.text, false);
    st.bind(8, now).bindInPlace(9, c.cues, true).bind(10, std::string_view(origin));
    if (st.step() != decltype(st)::Step::Row) return -1;
    const std::int64_t id = st.columnInt(0);
    return st.run() ? id : -1;
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
