// A media player for unit tests: every operation changes a public field and is written to
// `calls_` ("setMute(false)", "setVolume(80)" ...) so tests can check effects and their order.
#pragma once

#include <QString>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/MediaPlayer.h"

namespace lirra::fakes {

class FakeMediaPlayer : public MediaPlayer {
  public:
    void setMedia(const Media& media) override {
        media_ = media;
        record("setMedia(" + media.location.toStdString() + ")");
    }
    void play() override {
        playing_ = true;
        state_ = kMediaPlayerStatePlaying;
        record("play()");
    }
    void openPaused() override {
        playing_ = false;
        state_ = kMediaPlayerStateOpening;
        record("openPaused()");
    }
    void pause() override {
        playing_ = false;
        state_ = kMediaPlayerStatePaused;
        record("pause()");
    }
    bool isPlaying() const override { return playing_; }
    void stop() override {
        playing_ = false;
        state_ = kMediaPlayerStateStopped;
        record("stop()");
    }

    void setTime(std::int32_t milliseconds) override {
        time_ = milliseconds;
        record("setTime(" + std::to_string(milliseconds) + ")");
    }
    std::optional<std::int32_t> time() const override { return time_; }
    std::optional<std::int32_t> length() const override { return length_; }

    // Stored clamped to 0..200 as the engine does; the call records the value asked for.
    int volume() const override { return volume_; }
    void setVolume(int volume) override {
        volume_ = std::clamp(volume, 0, 200);
        record("setVolume(" + std::to_string(volume) + ")");
    }
    void setMute(bool mute) override {
        muted_ = mute;
        record(std::string("setMute(") + (mute ? "true" : "false") + ")");
    }
    bool isMuted() const override { return muted_; }

    float rate() const override { return rate_; }
    void setRate(float rate) override {
        rate_ = rate;
        record("setRate(" + std::to_string(rate) + ")");
    }

    QStringList audioTrackNames() const override { return audioTrackNames_; }
    QVector<int> audioTrackIndexes() const override { return audioTrackIndexes_; }
    int currentAudioTrackIndex() const override { return currentAudioTrackIndex_; }
    void setCurrentAudioTrackIndex(int index) override {
        currentAudioTrackIndex_ = index;
        record("setCurrentAudioTrackIndex(" + std::to_string(index) + ")");
    }

    int currentVideoSubTitleIndex() const override { return currentVideoSubTitleIndex_; }
    void setCurrentVideoSubTitleIndex(int index) override {
        currentVideoSubTitleIndex_ = index;
        record("setCurrentVideoSubTitleIndex(" + std::to_string(index) + ")");
    }

    std::vector<TrackInformation> tracksInformation() const override { return tracks_; }
    int state() const override { return state_; }

    std::optional<Media> media_;
    bool playing_ = false;
    std::optional<std::int32_t> time_;
    std::optional<std::int32_t> length_;
    int volume_ = 100;
    bool muted_ = false;
    float rate_ = 1.0f;
    QStringList audioTrackNames_;
    QVector<int> audioTrackIndexes_;
    int currentAudioTrackIndex_ = -1;
    int currentVideoSubTitleIndex_ = -1;
    std::vector<TrackInformation> tracks_;
    int state_ = kMediaPlayerStateStopped;
    std::vector<std::string> calls_;

  private:
    void record(std::string call) { calls_.push_back(std::move(call)); }
};

}  // namespace lirra::fakes
