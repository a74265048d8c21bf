// SPDX-License-Identifier: GPL-3.0-or-later
// Subtitles from inside the video: after a lookup, the video file is found in the library
// folders (by size and hash, remembered) and the text tracks of its container are read once, in
// the background, and held with origin "container". A video whose container was read, with or
// without tracks, is never read again.
#pragma once

#include <chrono>
#include <map>
#include <mutex>

#include "sources/ContainerReader.h"
#include "sources/Library.h"
#include "sources/SourceQueue.h"
#include "sources/SubtitleSource.h"
#include "sources/VideoFinder.h"
#include "sources/VideoHash.h"

namespace lirra::server {

struct ContainerSourceOptions {
    ContainerLimits container;
    FinderLimits finder;
    std::size_t queueCapacity = 64;
    std::size_t workers = 1;
    // A video not found in the library is looked for again only after this.
    std::chrono::milliseconds retryNotFound{30000};
};

class ContainerSource final : public SubtitleSource {
  public:
    ContainerSource(Store& store, const Library& library, ContainerSourceOptions options = {});

    void lookedUp(std::int64_t videoId, const VideoKey& key) override;
    bool pending(std::int64_t videoId) const override;

    void waitIdle() const { queue_.waitIdle(); }

  private:
    void work(const Job& job, const std::atomic<bool>& stop);
    void hold(std::int64_t videoId, const VideoKey& key, const LibraryFile& file,
              const std::atomic<bool>& stop);

    Store& store_;
    const Library& library_;
    ContainerSourceOptions options_;
    std::mutex missesMutex_;
    std::map<std::int64_t, std::chrono::steady_clock::time_point> misses_;
    SourceQueue queue_;  // last: its workers stop before anything they use goes
};

// "Film.mkv", "eng", "Full", "ass" -> "Film.eng.Full.ass"; the title is cleaned for a file name.
std::string containerTrackFileName(const std::string& videoFileName, const std::string& language,
                                   const std::string& title, const std::string& extension);

// A stream's language tag as the tracks API has it: ISO 639-2/B, "" for none, "und" or garbage.
std::string containerTrackLanguage(const std::string& tag);

}  // namespace lirra::server
