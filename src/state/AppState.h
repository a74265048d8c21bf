// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide state of the current video and screen, owned by the application controller
// and shared with the subsystems that read and write it. Main thread only: nothing here is locked.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "state/VideoLocation.h"

namespace lirra {

class Deferred;

// Where a video opened to watch a saved moment starts: its location, as opened, and the time.
struct StartAt {
    QString location;
    std::int32_t milliseconds = 0;
};

struct AppState {
    // A file the desktop asked us to open, held until the home page reports that it is ready.
    QString openFilePath;
    // The video being processed or played.
    VideoLocation videoLocation;
    // Counts the videos taken in and those cancelled: work started under an earlier count (a
    // remote hash still under way) belongs to a video that is gone.
    std::uint64_t currentVideo = 0;
    // Sent to the service and answered to the page's "FileName" request.
    QString videoFileName;
    // Read from the home page when a video is taken in.
    QString nativeLanguageCode;
    // Set by the notebook's "Watch this moment"; taken by the next launch, which starts there
    // only if it is that video.
    std::optional<StartAt> startAt;

    // Made fresh for every launched video; resolved once the player knows each value.
    std::shared_ptr<Deferred> durationDeferred;
    std::shared_ptr<Deferred> audioInfoDeferred;
    std::shared_ptr<Deferred> volumeDeferred;
    std::shared_ptr<Deferred> playbackSpeedDeferred;

    // The home page has loaded and reported that it is ready; returning home does not reload it.
    bool homePageReady = false;
    // The main window has been fitted to the current video's picture.
    bool playbackStarted = false;

    // The lookup answer being received: none until its first piece.
    std::optional<QByteArray> lookupResponseData;
    std::int64_t lookupStatusCode = 0;
    // The service's identifier of the video (a 32-bit value widened with its sign).
    std::int64_t videoId = 0;

    // One value for the whole process (see WebViewController and the drag receiver).
    bool useCache = false;
    bool draggable = true;
};

}  // namespace lirra
