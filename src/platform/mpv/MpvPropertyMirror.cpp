// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvPropertyMirror.h"

#include <mpv/client.h>

#include <QString>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string_view>

#include "MpvReplyIds.h"
#include "platform/Log.h"

namespace lirra {
namespace {

// mpv's names of the properties that are only observed.
constexpr char kTimePosProperty[] = "time-pos";
constexpr char kDurationProperty[] = "duration";
constexpr char kEofReachedProperty[] = "eof-reached";
constexpr char kPausedForCacheProperty[] = "paused-for-cache";
constexpr char kTrackListProperty[] = "track-list";
constexpr char kVideoWidthProperty[] = "video-params/w";
constexpr char kVideoHeightProperty[] = "video-params/h";
constexpr char kHwdecCurrentProperty[] = "hwdec-current";

std::optional<double> asDouble(const mpv_event_property& p) {
    if (p.format == MPV_FORMAT_DOUBLE && p.data) return *static_cast<const double*>(p.data);
    return std::nullopt;
}

bool asFlag(const mpv_event_property& p) {
    return p.format == MPV_FORMAT_FLAG && p.data && *static_cast<const int*>(p.data) != 0;
}

int asSize(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_INT64 || !p.data) return 0;
    return static_cast<int>(
        std::clamp<std::int64_t>(*static_cast<const std::int64_t*>(p.data), 0, 1 << 20));
}

// "aid" and "sid" read as a track id or "no".
int asTrack(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_STRING || !p.data) return -1;
    bool ok = false;
    const int id = QString::fromUtf8(*static_cast<char* const*>(p.data)).toInt(&ok);
    return ok && id > 0 ? id : -1;
}

std::optional<std::string> asString(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_STRING || !p.data || !*static_cast<char* const*>(p.data)) {
        return std::nullopt;
    }
    return std::string(*static_cast<char* const*>(p.data));
}

std::vector<MpvTrack> asTracks(const mpv_event_property& p) {
    if (p.format != MPV_FORMAT_NODE || !p.data) return {};
    return parseTrackList(*static_cast<const mpv_node*>(p.data));
}

using Values = MpvPropertyValues;
using Property = mpv_event_property;

struct ObservedProperty {
    const char* name;
    mpv_format format;
    bool perMedia;  // describes the media: only values reported while it is open count
    void (*apply)(Values&, const Property&);
};

// The observed properties. A row's index is its reply id; the setters find rows by name.
constexpr ObservedProperty kObserved[] = {
    {kTimePosProperty, MPV_FORMAT_DOUBLE, true,
     [](Values& v, const Property& p) { v.timePos = asDouble(p); }},
    {kDurationProperty, MPV_FORMAT_DOUBLE, true,
     [](Values& v, const Property& p) { v.duration = asDouble(p); }},
    {kEofReachedProperty, MPV_FORMAT_FLAG, true,
     [](Values& v, const Property& p) { v.eof = asFlag(p); }},
    {kPauseProperty, MPV_FORMAT_FLAG, false,
     [](Values& v, const Property& p) { v.paused = asFlag(p); }},
    {kPausedForCacheProperty, MPV_FORMAT_FLAG, true,
     [](Values& v, const Property& p) { v.buffering = asFlag(p); }},
    {kVolumeProperty, MPV_FORMAT_DOUBLE, false,
     [](Values& v, const Property& p) { v.volume = asDouble(p).value_or(v.volume); }},
    {kMuteProperty, MPV_FORMAT_FLAG, false,
     [](Values& v, const Property& p) { v.muted = asFlag(p); }},
    {kSpeedProperty, MPV_FORMAT_DOUBLE, false,
     [](Values& v, const Property& p) { v.speed = asDouble(p).value_or(v.speed); }},
    {kAidProperty, MPV_FORMAT_STRING, false,
     [](Values& v, const Property& p) { v.aid = asTrack(p); }},
    {kSidProperty, MPV_FORMAT_STRING, false,
     [](Values& v, const Property& p) { v.sid = asTrack(p); }},
    {kTrackListProperty, MPV_FORMAT_NODE, true,
     [](Values& v, const Property& p) { v.tracks = asTracks(p); }},
    {kVideoWidthProperty, MPV_FORMAT_INT64, true,
     [](Values& v, const Property& p) { v.videoWidth = asSize(p); }},
    {kVideoHeightProperty, MPV_FORMAT_INT64, true,
     [](Values& v, const Property& p) { v.videoHeight = asSize(p); }},
    {kHwdecCurrentProperty, MPV_FORMAT_STRING, true,
     [](Values& v, const Property& p) { v.hwdecCurrent = asString(p); }},
};
constexpr std::size_t kRows = std::size(kObserved);
static_assert(kRows < kIgnoredReply, "observed rows are reply ids below the others");

std::size_t rowOf(std::string_view name) {
    for (std::size_t row = 0; row < kRows; ++row) {
        if (name == kObserved[row].name) return row;
    }
    Q_ASSERT_X(false, "MpvPropertyMirror", "not a property of the table");
    return kRows;
}

std::optional<std::int32_t> milliseconds(const std::optional<double>& seconds) {
    return seconds ? std::optional<std::int32_t>(toMilliseconds(*seconds)) : std::nullopt;
}

}  // namespace

std::int32_t toMilliseconds(double seconds) {
    const double ms = std::round(seconds * 1000.0);
    if (!std::isfinite(ms)) return 0;
    return static_cast<std::int32_t>(std::clamp<double>(
        ms, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

MpvPropertyMirror::MpvPropertyMirror(std::function<void(bool)> timeChanged)
    : timeChanged_(std::move(timeChanged)), pendingSets_(kRows, 0) {}

void MpvPropertyMirror::observe(mpv_handle* mpv) {
    mpv_ = mpv;
    for (std::size_t row = 0; row < kRows; ++row) {
        mpv_observe_property(mpv_, row, kObserved[row].name, kObserved[row].format);
    }
}

void MpvPropertyMirror::readAll() {
    if (!mpv_) return;
    for (std::size_t row = 0; row < kRows; ++row) {
        mpv_get_property_async(mpv_, kGetReplyBase + row, kObserved[row].name,
                               kObserved[row].format);
    }
}

bool MpvPropertyMirror::handle(const mpv_event& event, bool fileActive) {
    const std::uint64_t id = event.reply_userdata;
    switch (event.event_id) {
        case MPV_EVENT_PROPERTY_CHANGE:
            if (id < kRows) apply(id, *static_cast<const Property*>(event.data), fileActive);
            return true;
        case MPV_EVENT_GET_PROPERTY_REPLY:
            if (event.error >= 0 && id >= kGetReplyBase && id - kGetReplyBase < kRows) {
                apply(id - kGetReplyBase, *static_cast<const Property*>(event.data), fileActive);
            }
            return true;
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (id < kSetReplyBase || id - kSetReplyBase >= kRows) return false;
            handleSetReply(event);
            return true;
        default:
            return false;
    }
}

void MpvPropertyMirror::apply(std::size_t row, const Property& property, bool fileActive) {
    // While a value we set is on its way, older values may still be reported; and what mpv
    // says of a media before ours started, or after it was stopped, is not about ours.
    if (pendingSets_[row] > 0 || (kObserved[row].perMedia && !fileActive)) return;
    const std::optional<std::int32_t> timeBefore = milliseconds(values_.timePos);
    const bool eofBefore = values_.eof;
    kObserved[row].apply(values_, property);
    if (values_.eof && !eofBefore) {
        timeChanged_(true);  // the end is told at once, with the position at the media's end
    } else if (milliseconds(values_.timePos) != timeBefore) {
        timeChanged_(false);
    }
}

void MpvPropertyMirror::handleSetReply(const mpv_event& event) {
    const std::size_t row = event.reply_userdata - kSetReplyBase;
    --pendingSets_[row];
    if (event.error < 0) {
        logLine(std::string("mpv: setting ") + kObserved[row].name + ": " +
                mpv_error_string(event.error));
    }
    if (pendingSets_[row] == 0 && mpv_) {
        mpv_get_property_async(mpv_, kGetReplyBase + row, kObserved[row].name,
                               kObserved[row].format);
    }
}

void MpvPropertyMirror::set(const char* name, int format, void* data) {
    const std::size_t row = rowOf(name);
    if (row == kRows) return;
    // The value reads back through the row's own conversion, as if the engine had reported it.
    Property local{};
    local.name = name;
    local.format = static_cast<mpv_format>(format);
    local.data = data;
    kObserved[row].apply(values_, local);
    if (!mpv_) return;
    if (const int error = mpv_set_property_async(mpv_, kSetReplyBase + row, name,
                                                 static_cast<mpv_format>(format), data);
        error < 0) {
        logLine(std::string("mpv: setting ") + name + ": " + mpv_error_string(error));
        return;
    }
    ++pendingSets_[row];
}

void MpvPropertyMirror::setFlag(const char* name, bool value) {
    int flag = value ? 1 : 0;
    set(name, MPV_FORMAT_FLAG, &flag);
}

void MpvPropertyMirror::setDouble(const char* name, double value) {
    set(name, MPV_FORMAT_DOUBLE, &value);
}

void MpvPropertyMirror::setString(const char* name, const char* value) {
    set(name, MPV_FORMAT_STRING, &value);
}

void MpvPropertyMirror::forgetMedia() {
    values_.timePos.reset();
    values_.duration.reset();
    values_.eof = false;
    values_.buffering = false;
    values_.tracks.clear();
    values_.videoWidth = 0;
    values_.videoHeight = 0;
    values_.hwdecCurrent.reset();
}

}  // namespace lirra
