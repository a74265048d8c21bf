// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's observed properties as mpv last reported them (in mpv's own units and scales),
// and how they are observed, read back and set. Every property is described once, in the table
// at the top of MpvPropertyMirror.cpp; observation, dispatch and read-back follow from it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "MpvTracks.h"

struct mpv_handle;
struct mpv_event;
struct mpv_event_property;

namespace lirra {

// mpv's names of the properties the player sets.
inline constexpr char kPauseProperty[] = "pause";
inline constexpr char kVolumeProperty[] = "volume";
inline constexpr char kMuteProperty[] = "mute";
inline constexpr char kSpeedProperty[] = "speed";
inline constexpr char kAidProperty[] = "aid";
inline constexpr char kSidProperty[] = "sid";
inline constexpr char kVidProperty[] = "vid";  // set only when the video is taken up again

struct MpvPropertyValues {
    std::optional<double> timePos;  // seconds
    std::optional<double> duration;
    bool eof = false;
    bool paused = false;
    bool buffering = false;
    double volume = 100;  // 100 is full volume
    bool muted = false;
    double speed = 1;
    int aid = -1;  // a track id; -1 for none
    int sid = -1;
    std::vector<MpvTrack> tracks;
    int videoWidth = 0;  // of the decoded picture; 0 while unknown
    int videoHeight = 0;
    std::optional<std::string> hwdecCurrent;  // the hardware decoder in use, "no" for software
};

// Seconds as whole milliseconds, rounded and clamped to the 32-bit range (0 if not finite).
std::int32_t toMilliseconds(double seconds);

class MpvPropertyMirror {
  public:
    // `timeChanged(atOnce)` is called when the position moved by at least a millisecond
    // (atOnce false) or the media's end was reached (atOnce true).
    explicit MpvPropertyMirror(std::function<void(bool atOnce)> timeChanged);

    // Observes every property of the table; `mpv` is kept for the requests below.
    void observe(mpv_handle* mpv);
    // Asks for every value once: mpv reports only changes, so a value equal to the previous
    // media's may never be reported for a new one.
    void readAll();
    // Takes property changes and the replies to our reads and sets; false for other events.
    // `fileActive`: the current media is open in the engine (per-media values count only then).
    bool handle(const mpv_event& event, bool fileActive);

    // Sets the value here at once and in the engine (a property of the table; `data` as for
    // mpv_set_property_async). Until the engine confirms, the older values it reports are
    // ignored; then the value is read back, since the engine may refuse or adjust it.
    void set(const char* name, int format, void* data);
    void setFlag(const char* name, bool value);
    void setDouble(const char* name, double value);
    void setString(const char* name, const char* value);

    // The values that describe a media go back to unknown.
    void forgetMedia();

    const MpvPropertyValues& values() const { return values_; }

  private:
    void apply(std::size_t row, const mpv_event_property& property, bool fileActive);
    void handleSetReply(const mpv_event& event);

    std::function<void(bool)> timeChanged_;
    mpv_handle* mpv_ = nullptr;
    MpvPropertyValues values_;
    std::vector<int> pendingSets_;  // per row: sets not yet confirmed
};

}  // namespace lirra
