// SPDX-License-Identifier: GPL-3.0-or-later
// The fits of a video's held tracks to its reference track, kept in the alignments table and
// brought up to date after every write that holds new tracks (the fitter computes them).
#pragma once

#include <cstdint>
#include <vector>

#include "store/AlignmentFitter.h"
#include "store/Sqlite.h"

namespace lirra::server {

// Inside the caller's write transaction: keeps what `fitter` makes of the video's held tracks;
// without a fitter nothing is kept (the tracks are fitted the next time the store is opened
// with one). False on a database error (the connection's lastError says which).
bool refitAlignments(sqlite::Connection& db, const AlignmentFitter* fitter, std::int64_t videoId);

// After the write that held new tracks, outside any transaction: the fits are made from what
// is held then, with no lock taken, and kept in a short write if the video's tracks are still
// those (else made again; under steady contention, inside the write). A crash in between
// leaves tracks without a fit, which the next open fits (videosWithoutFits). False on a
// database error.
bool refitAfterWrite(sqlite::Connection& db, const AlignmentFitter* fitter, std::int64_t videoId);

// Videos with a held track that has no fit kept: those held before fits were kept, or by a store
// without a fitter.
bool videosWithoutFits(sqlite::Connection& db, std::vector<std::int64_t>& videoIds);

}  // namespace lirra::server
