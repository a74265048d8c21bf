// The fits of a video's held tracks to its reference track, kept in the alignments table and
// brought up to date by every write that holds new tracks.
#pragma once

#include <cstdint>
#include <vector>

#include "store/Sqlite.h"

namespace lirra::server {

// Inside the caller's write transaction: fits every held track of the video that has no fit
// kept, or one made against another reference than the one it has now (all of them when the
// reference changed). False on a database error (the connection's lastError says which).
bool refitAlignments(sqlite::Connection& db, std::int64_t videoId);

// Videos with a held track that has no fit kept: those held before fits were kept.
bool videosWithoutFits(sqlite::Connection& db, std::vector<std::int64_t>& videoIds);

}  // namespace lirra::server
