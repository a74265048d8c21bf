// SPDX-License-Identifier: GPL-3.0-or-later
// A media player whose every operation sets a public field and is written to `calls_`.
#pragma once

#include <QString>
#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/MediaPlayer.h"

namespace lirra::fakes {

class FakeMediaPlayer : public MediaPlayer {
  public:
    void setMedia(const Media& media) override {
        media_ = media;
        record("setMedia", media.location.toStdString());
    }
    void play() override { record("play", "", kMediaPlayerStatePlaying, true); }
    void openPaused() override { record("openPaused", "", kMediaPlayerStateOpening); }
    void pause() override { record("pause", "", kMediaPlayerStatePaused); }
    void stop() override { record("stop", "", kMediaPlayerStateStopped); }
    bool isPlaying() const override { return playing_; }

    void setTime(std::int32_t ms) override { record("setTime", *(time_ = ms)); }
    void setTimeExact(std::int32_t ms) override { record("setTimeExact", *(time_ = ms)); }
    std::optional<std::int32_t> time() const override { return time_; }
    std::optional<std::int32_t> length() const override { return length_; }

    // Stored clamped to 0..200 as the engine does; the call records the value asked for.
    int volume() const override { return volume_; }
    void setVolume(int volume) override {
        volume_ = std::clamp(volume, 0, 200);
        record("setVolume", volume);
    }
    void setMute(bool mute) override { record("setMute", (muted_ = mute) ? "true" : "false"); }
    bool isMuted() const override { return muted_; }

    float rate() const override { return rate_; }
    void setRate(float rate) override { record("setRate", rate_ = rate); }

    QStringList audioTrackNames() const override { return audioTrackNames_; }
    QVector<int> audioTrackIndexes() const override { return audioTrackIndexes_; }
    int currentAudioTrackIndex() const override { return currentAudioTrackIndex_; }
    void setCurrentAudioTrackIndex(int index) override {
        record("setCurrentAudioTrackIndex", currentAudioTrackIndex_ = index);
    }
    int currentVideoSubTitleIndex() const override { return currentVideoSubTitleIndex_; }
    void setCurrentVideoSubTitleIndex(int index) override {
        record("setCurrentVideoSubTitleIndex", currentVideoSubTitleIndex_ = index);
    }

    std::vector<TrackInformation> tracksInformation() const override { return tracks_; }
    int state() const override { return state_; }
    QString openFailure() const override { return openFailure_; }

    std::optional<Media> media_;
    bool playing_ = false, muted_ = false;
    std::optional<std::int32_t> time_, length_;
    int volume_ = 100;
    float rate_ = 1.0f;
    QStringList audioTrackNames_;
    QVector<int> audioTrackIndexes_;
    int currentAudioTrackIndex_ = -1, currentVideoSubTitleIndex_ = -1;
    std::vector<TrackInformation> tracks_;
    int state_ = kMediaPlayerStateStopped;
    QString openFailure_;
    std::vector<std::string> calls_;

  private:
    // "name(argument)"; the transport calls also set the state and whether it plays.
    void record(const char* name, const std::string& argument, int state = -1,
                bool playing = false) {
        calls_.push_back(name + ("(" + argument + ")"));
        if (state >= 0) {
            state_ = state;
            playing_ = playing;
        }
    }
    template <typename T>
    requires std::is_arithmetic_v<T>
    void record(const char* name, T number) { record(name, std::to_string(number)); }
};

}  // namespace lirra::fakes
