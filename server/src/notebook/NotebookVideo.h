// SPDX-License-Identifier: GPL-3.0-or-later
// The file of a notebook item's video: the one the service found for it in a library folder
// (sources/VideoFinder.h), trusted while it is still that video. After a restart the library
// folders may not be known yet (the app adds a video's folder when it opens one), so a file
// found before is also taken when it is still a regular file of the video's size and hash:
// nothing is ever read that is not the video itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sources/VideoFinder.h"
#include "store/Store.h"

namespace lirra::server::notebook {

// The video's file, opened; none with `why` set (for the learner) when there is none.
// `folders`: the library folders, canonical.
std::optional<LibraryFile> openItemVideo(Store& store, const std::vector<std::string>& folders,
                                         std::int64_t videoId, std::string& why);

}  // namespace lirra::server::notebook
