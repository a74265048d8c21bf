// MediaPlayer on libmpv: owns the mpv core and its render context, draws into an MpvVideoView,
// and turns mpv's events into the two player notifications, posted on the main thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "MpvTracks.h"
#include "MpvVideoView.h"
#include "platform/MediaPlayer.h"
#include "platform/NotificationCenter.h"

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;
struct mpv_event_property;

namespace lirra {

class MpvMediaPlayer final : public MediaPlayer, private MpvVideoView::Renderer {
  public:
    // Notifications go to `center` with this player (as MediaPlayer*) as their object. An
    // engine that cannot start leaves a player in the error state that logs why.
    MpvMediaPlayer(MpvVideoView& view, NotificationCenter& center);
    ~MpvMediaPlayer() override;
    MpvMediaPlayer(const MpvMediaPlayer&) = delete;
    MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

    void setMedia(const Media& media) override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    void stop() override;

    void setTime(std::int32_t milliseconds) override;
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

    // mpv's own text for a property, read synchronously; none without an engine or a value.
    // For diagnostics and tests: the controllers use the operations above.
    std::optional<std::string> engineProperty(const char* name) const;

  private:
    // Where the current media is in its life; the state number follows from it and the flags.
    enum class Phase { Idle, Opening, Loaded, Ended, Failed };

    // Observed properties, in the order of the binding table (their reply ids).
    enum Property : std::uint64_t {
        kTimePosProperty,
        kDurationProperty,
        kEofReachedProperty,
        kPauseProperty,
        kPausedForCacheProperty,
        kVolumeProperty,
        kMuteProperty,
        kSpeedProperty,
        kAidProperty,
        kSidProperty,
        kTrackListProperty,
        kVideoWidthProperty,
        kVideoHeightProperty,
        kPropertyCount
    };
    struct PropertyBinding {
        Property id;
        const char* name;
        int format;     // an mpv_format
        bool perMedia;  // describes the media: only its own values count
        void (MpvMediaPlayer::*onChange)(const mpv_event_property&);
    };
    static const std::array<PropertyBinding, kPropertyCount> kPropertyBindings;

    // Renderer
    void glInitialized() override;
    void glAboutToBeDestroyed() override;
    bool render(int fbo, int width, int height) override;
    void frameSwapped() override;
    void viewSettingsChanged() override;
    void viewDestroyed() override;

    void startEngine();
    void fail(const std::string& why);
    static void onWakeup(void* self);
    static void onRenderUpdate(void* self);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void handleCommandReply(const mpv_event& event);
    void handleSetPropertyReply(const mpv_event& event);
    void handleStartFile(std::int64_t entryId);
    void handleEndFile(const mpv_event& event);
    void handleFileLoaded();
    void applyProperty(Property id, const mpv_event_property& property);

    void onTimePos(const mpv_event_property& property);
    void onDuration(const mpv_event_property& property);
    void onEofReached(const mpv_event_property& property);
    void onPause(const mpv_event_property& property);
    void onPausedForCache(const mpv_event_property& property);
    void onVolume(const mpv_event_property& property);
    void onMute(const mpv_event_property& property);
    void onSpeed(const mpv_event_property& property);
    void onAid(const mpv_event_property& property);
    void onSid(const mpv_event_property& property);
    void onTrackList(const mpv_event_property& property);
    void onVideoWidth(const mpv_event_property& property);
    void onVideoHeight(const mpv_event_property& property);

    void requestLoad();
    void issueLoadfile();
    void seekTo(std::int32_t milliseconds);
    void forgetMedia();
    void setProperty(Property id, int format, void* data);
    void setEngineOption(const char* name, const std::string& value);
    void setFlag(Property id, bool value);
    void setTrack(Property id, int index);
    void applyViewSettings();

    void scheduleNotify();
    void notifyChanges();
    bool timeDue() const;

    QObject context_;  // receiver of posted work; deleting it drops what is still queued
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    MpvVideoView* view_;
    NotificationCenter& center_;
    mpv_handle* mpv_ = nullptr;
    mpv_render_context* render_ = nullptr;
    std::atomic<bool> wakeupPosted_{false};
    std::atomic<bool> updatePosted_{false};

    // The media and its load.
    std::optional<Media> media_;
    bool needsLoad_ = false;          // play() starts media_ from its beginning
    bool loadQueued_ = false;         // waiting for the render context
    std::uint64_t loadSerial_ = 0;    // of the latest loadfile
    std::int64_t expectedEntry_ = 0;  // playlist entry of the current media, or a k*Entry value
    bool fileActive_ = false;         // its START_FILE came, its END_FILE not yet
    std::optional<std::int32_t> pendingSeek_;
    Phase phase_ = Phase::Idle;
    bool engineBroken_ = false;

    // Mirror of the observed properties (mpv's own units and scales).
    std::optional<double> timePos_;
    std::optional<double> duration_;
    bool eof_ = false;
    bool paused_ = false;
    bool buffering_ = false;
    double volume_ = 100;
    bool muted_ = false;
    double speed_ = 1;
    int aid_ = -1;
    int sid_ = -1;
    std::vector<MpvTrack> tracks_;
    int videoWidth_ = 0;
    int videoHeight_ = 0;
    // Values set but not yet confirmed; observed changes would show older values meanwhile.
    std::array<int, kPropertyCount> pendingSets_{};

    // Notification bookkeeping.
    bool notifying_ = false;
    int postedState_ = kMediaPlayerStateStopped;
    bool postedAtEnd_ = false;
    bool forceStatePost_ = false;
    bool timeDirty_ = false;
    bool forceTimePost_ = false;
    std::chrono::steady_clock::time_point lastTimePost_{};
    QTimer timeTimer_;
};

}  // namespace lirra
