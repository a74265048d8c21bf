// SPDX-License-Identifier: GPL-3.0-or-later
// MediaPlayer on libmpv: owns the mpv core and, through the output its view makes, the render
// context that draws into the view. The pieces it coordinates each hold one concern: the engine
// options, the video output, the event pump, the load tracker, the property mirror and the
// throttled notifier that posts the two player notifications on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "MpvEventPump.h"
#include "MpvLoadTracker.h"
#include "MpvPropertyMirror.h"
#include "MpvVideoOutput.h"
#include "ThrottledNotifier.h"
#include "platform/MediaPlayer.h"
#include "platform/NotificationCenter.h"

struct mpv_handle;
struct mpv_event;

namespace lirra {

class MpvMediaPlayer final : public MediaPlayer {
  public:
    // Notifications go to `center` with this player (as MediaPlayer*) as their object. An
    // engine that cannot start leaves a player in the error state that logs why. `hwdec`: the
    // hardware decoding setting (none: the default, which probes only where there is a GPU).
    MpvMediaPlayer(MpvVideoSurface& view, NotificationCenter& center,
                   const std::optional<std::string>& hwdec = std::nullopt);
    ~MpvMediaPlayer() override;
    MpvMediaPlayer(const MpvMediaPlayer&) = delete;
    MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

    void setMedia(const Media& media) override;
    void play() override;
    void openPaused() override;
    void pause() override;
    bool isPlaying() const override;
    void stop() override;

    void setTime(std::int32_t milliseconds) override;
    void setTimeExact(std::int32_t milliseconds) override;
    std::optional<std::int32_t> time() const override;
    std::optional<std::int32_t> length() const override;

    int volume() const override;
    void setVolume(int volume) override;
    void setMute(bool mute) override;
    bool isMuted() const override;

    float rate() const override;
    void setRate(float rate) override;

    QStringList audioTrackNames() const override;
    QVector<int> audioTrackIndexes() const override;
    int currentAudioTrackIndex() const override;
    void setCurrentAudioTrackIndex(int index) override;

    int currentVideoSubTitleIndex() const override;
    void setCurrentVideoSubTitleIndex(int index) override;

    std::vector<TrackInformation> tracksInformation() const override;
    int state() const override;
    QString openFailure() const override { return QString::fromStdString(failure_); }

    // mpv's own text for a property, read synchronously; none without an engine or a value.
    // For diagnostics and tests: the controllers use the operations above.
    std::optional<std::string> engineProperty(const char* name) const;

  private:
    using Phase = MpvLoadTracker::Phase;

    void fail(const std::string& why);
    // The current media failed: `why` is logged and kept for openFailure().
    void mediaFailed(const std::string& why);
    void renderContextMade(bool again);
    void viewSettingsChanged();
    void handleEvent(const mpv_event& event);
    void handleCommandReply(const mpv_event& event);
    void handleEndFile(const mpv_event& event);
    void handleFileLoaded();
    void drained();

    void start(bool paused);
    void requestLoad();
    void issueLoadfile();
    struct Seek {
        std::int32_t milliseconds;
        bool exact;
    };
    void seekTo(std::int32_t milliseconds, bool exact = false);
    void seekWhenLoaded(Seek seek);
    void forgetMedia();
    void setTrack(const char* property, int index);

    const MpvPropertyValues& values() const { return properties_.values(); }

    ThrottledNotifier notifier_;
    MpvPropertyMirror properties_;
    MpvLoadTracker loads_;
    MpvEventPump pump_;
    std::unique_ptr<MpvVideoOutput> output_;
    MpvVideoSurface& view_;  // outlives the player
    mpv_handle* mpv_ = nullptr;
    bool engineBroken_ = false;
    std::string failure_;  // why the current media failed, as told to the user

    std::optional<Media> media_;
    bool needsLoad_ = false;                  // play() starts media_ from its beginning
    bool loadQueued_ = false;                 // waiting for the render context
    bool startPaused_ = false;                // the next load rests paused on its first frame
    std::optional<Seek> pendingSeek_;         // asked for while opening
    std::optional<std::string> toldDecoder_;  // the media's decoder, once logged
};

}  // namespace lirra
