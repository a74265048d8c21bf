// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvMediaPlayer.h"

#include <mpv/client.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "MpvEngineOptions.h"
#include "MpvReplyIds.h"
#include "platform/Log.h"

namespace lirra {
namespace {

// "12.345" from 12345, without locale or rounding surprises.
std::string secondsText(std::int32_t milliseconds) {
    const std::int64_t ms = std::max<std::int64_t>(milliseconds, 0);
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(ms / 1000) + "." + fraction;
}

MpvLoadTracker::EndReason endReason(int reason) {
    switch (reason) {
        case MPV_END_FILE_REASON_EOF:
            return MpvLoadTracker::EndReason::Eof;
        case MPV_END_FILE_REASON_ERROR:
            return MpvLoadTracker::EndReason::Error;
        case MPV_END_FILE_REASON_REDIRECT:
            return MpvLoadTracker::EndReason::Redirect;
        default:
            return MpvLoadTracker::EndReason::Other;
    }
}

// The "playlist_entry_id" of a loadfile's result, when mpv gives one.
std::optional<std::int64_t> playlistEntry(const mpv_node& result) {
    std::optional<std::int64_t> entry;
    if (result.format != MPV_FORMAT_NODE_MAP || !result.u.list) return entry;
    for (int i = 0; i < result.u.list->num; ++i) {
        const mpv_node& value = result.u.list->values[i];
        if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
            value.format == MPV_FORMAT_INT64) {
            entry = value.u.int64;
        }
    }
    return entry;
}

}  // namespace

MpvMediaPlayer::MpvMediaPlayer(MpvVideoSurface& view, NotificationCenter& center,
                               const std::optional<std::string>& hwdec)
    : notifier_(center, static_cast<MediaPlayer*>(this),
                [this] {
                    return ThrottledNotifier::Status{
                        state(), loads_.phase() == Phase::Loaded && values().eof};
                }),
      properties_([this](bool atOnce) { notifier_.timeChanged(true, atOnce); }),
      pump_([this](const mpv_event& event) { handleEvent(event); }, [this] { drained(); }),
      output_(view.makeOutput(MpvVideoOutput::Hooks{
          .hasPicture = [this] { return loads_.phase() == Phase::Loaded; },
          .contextMade = [this](bool again) { renderContextMade(again); },
          .failed = [this](const std::string& why) { fail(why); },
          .settingsChanged = [this] { viewSettingsChanged(); },
      })),
      view_(view) {
    std::string warning;
    const bool gpu = hasGpuDevice();
    const std::string decoding = effectiveHwdec(hwdec, gpu, &warning);
    if (!warning.empty()) logLine(warning);
    std::string error;
    mpv_ =
        startEngine(MpvEngineSettings{view.backColor(), view.fillScreen(), decoding, gpu}, &error);
    if (mpv_) {
        properties_.observe(mpv_);
        pump_.start(mpv_);
    } else {
        fail(error);
    }
    output_->attach(mpv_);
}

// Teardown order matters: no callback may reach a half-destroyed player, and the render
// context must be freed in the GL context it was made in, before the core.
MpvMediaPlayer::~MpvMediaPlayer() {
    // 1. The view stops calling in.
    output_->detach();
    // 2. mpv's threads stop waking us (the call waits for a callback in progress).
    pump_.stop();
    // 3. The render context goes, in the GL context it was made in.
    output_->freeContext();
    // 4. The core goes last; work still queued for the pieces is dropped with them.
    if (mpv_) mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
}

void MpvMediaPlayer::mediaFailed(const std::string& why) {
    logLine("mpv: cannot play the media: " + why);
    failure_ = why;
}

void MpvMediaPlayer::fail(const std::string& why) {
    logLine(why);
    failure_ = why;
    engineBroken_ = true;
    loads_.fail();
    notifier_.schedule();
}

void MpvMediaPlayer::renderContextMade(bool again) {
    // The engine dropped the video with the previous render context (the view moved to another
    // window); it takes it up again with this one. "auto" would mean none here: the first video
    // track (the one it plays by default, our media have one).
    if (again && mpv_) {
        const char* first = "1";
        mpv_set_property_async(mpv_, kIgnoredReply, kVidProperty, MPV_FORMAT_STRING, &first);
    }
    if (loadQueued_) issueLoadfile();
}

void MpvMediaPlayer::viewSettingsChanged() {
    if (!mpv_) return;
    const std::string color = backgroundText(view_.backColor());
    const char* colorData = color.c_str();
    mpv_set_property_async(mpv_, kIgnoredReply, kBackgroundProperty, MPV_FORMAT_STRING, &colorData);
    double panscan = panscanValue(view_.fillScreen());
    mpv_set_property_async(mpv_, kIgnoredReply, kPanscanProperty, MPV_FORMAT_DOUBLE, &panscan);
}

// --- Events (main thread) ---

void MpvMediaPlayer::drained() {
    // One line per media says which decoder plays the video (none for sound alone).
    const std::optional<std::string>& decoder = values().hwdecCurrent;
    if (decoder && !decoder->empty() && decoder != toldDecoder_) {
        toldDecoder_ = decoder;
        logLine(*decoder == "no" ? std::string("Video decoding: software")
                                 : "Video decoding: hardware (" + *decoder + ")");
    }
    notifier_.notifyNow();
}

void MpvMediaPlayer::handleEvent(const mpv_event& event) {
    if (properties_.handle(event, loads_.fileActive())) return;
    switch (event.event_id) {
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (event.error < 0) logLine(std::string("mpv: ") + mpv_error_string(event.error));
            break;
        case MPV_EVENT_COMMAND_REPLY:
            handleCommandReply(event);
            break;
        case MPV_EVENT_START_FILE:
            loads_.fileStarted(
                static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id);
            break;
        case MPV_EVENT_FILE_LOADED:
            handleFileLoaded();
            break;
        case MPV_EVENT_END_FILE:
            handleEndFile(event);
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            // After a seek (or the start) the position is told at once.
            notifier_.timeChanged(values().timePos.has_value(), true);
            break;
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* message = static_cast<const mpv_event_log_message*>(event.data);
            std::string text = message->text ? message->text : "";
            while (!text.empty() && text.back() == '\n') text.pop_back();
            logLine(std::string("mpv: [") + (message->prefix ? message->prefix : "") + "] " + text);
            break;
        }
        case MPV_EVENT_SHUTDOWN:
            fail("mpv: the engine shut down");
            break;
        default:
            break;
    }
}

void MpvMediaPlayer::handleCommandReply(const mpv_event& event) {
    if (event.reply_userdata < kLoadReplyBase) {
        if (event.error < 0) logLine(std::string("mpv: command: ") + mpv_error_string(event.error));
        return;
    }
    const bool ok = event.error >= 0;
    const std::optional<std::int64_t> entry =
        ok ? playlistEntry(static_cast<const mpv_event_command*>(event.data)->result)
           : std::nullopt;
    if (loads_.loadReplied(event.reply_userdata - kLoadReplyBase, ok, entry) && !ok) {
        mediaFailed(mpv_error_string(event.error));
    }
}

void MpvMediaPlayer::handleFileLoaded() {
    if (!loads_.fileLoaded()) return;
    properties_.readAll();
    if (pendingSeek_) {
        seekTo(pendingSeek_->milliseconds, pendingSeek_->exact);
        pendingSeek_.reset();
    }
}

void MpvMediaPlayer::handleEndFile(const mpv_event& event) {
    const auto& end = *static_cast<const mpv_event_end_file*>(event.data);
    const auto reason = endReason(end.reason);
    if (loads_.fileEnded(end.playlist_entry_id, reason, end.playlist_insert_id) &&
        reason == MpvLoadTracker::EndReason::Error) {
        mediaFailed(mpv_error_string(end.error));
    }
}

// --- Operations ---

void MpvMediaPlayer::setMedia(const Media& media) {
    media_ = media;
    // Resolved now: the load may come later (once the engine can draw), in another directory.
    // An absolute path is always a file to mpv, whatever it looks like ("-x", "a:b").
    if (media_->kind == Media::Kind::Path && !media_->location.isEmpty()) {
        media_->location = QFileInfo(media_->location).absoluteFilePath();
    }
    needsLoad_ = true;
}

void MpvMediaPlayer::play() { start(false); }

void MpvMediaPlayer::openPaused() { start(true); }

void MpvMediaPlayer::start(bool paused) {
    if (engineBroken_) {
        // Tell the caller again, so a launch on a dead engine is reported.
        notifier_.forceState();
        notifier_.schedule();
        return;
    }
    const Phase phase = loads_.phase();
    if (media_ &&
        (needsLoad_ || phase == Phase::Idle || phase == Phase::Ended || phase == Phase::Failed)) {
        startPaused_ = paused;
        requestLoad();
        return;
    }
    if (paused) return;
    startPaused_ = false;  // a load still waiting for the render context plays too
    if (phase != Phase::Loaded && phase != Phase::Opening) return;
    if (phase == Phase::Loaded && values().eof) seekTo(0);  // play again from the start
    properties_.setFlag(kPauseProperty, false);
    notifier_.schedule();
}

void MpvMediaPlayer::requestLoad() {
    needsLoad_ = false;
    forgetMedia();
    loads_.open();
    if (output_->hasContext()) {
        issueLoadfile();
    } else {
        loadQueued_ = true;  // the engine may only load once it can draw
    }
    notifier_.schedule();
}

void MpvMediaPlayer::issueLoadfile() {
    loadQueued_ = false;
    if (!mpv_ || !media_) return;
    const QByteArray location = media_->location.toUtf8();
    if (location.isEmpty()) {
        mediaFailed("no media location");
        loads_.fail();
        notifier_.schedule();
        return;
    }
    const std::uint64_t serial = loads_.loadSent();
    const char* command[] = {"loadfile", location.constData(), "replace", nullptr};
    if (const int error = mpv_command_async(mpv_, kLoadReplyBase + serial, command); error < 0) {
        mediaFailed(mpv_error_string(error));
        loads_.loadRefused();
        notifier_.schedule();
        return;
    }
    // Set for every load, as pause carries over from the previous media; behind the load, since
    // set before it, a previous media resting at its end may pause itself again in between.
    properties_.setFlag(kPauseProperty, startPaused_);
}

// What was known of the previous media no longer holds.
void MpvMediaPlayer::forgetMedia() {
    failure_.clear();
    pendingSeek_.reset();
    toldDecoder_.reset();
    properties_.forgetMedia();
    output_->clearPicture();
}

void MpvMediaPlayer::pause() {
    const Phase phase = loads_.phase();
    if (phase != Phase::Loaded && phase != Phase::Opening) return;
    properties_.setFlag(kPauseProperty, true);
    notifier_.schedule();
}

bool MpvMediaPlayer::isPlaying() const {
    return loads_.phase() == Phase::Loaded && !values().paused && !values().eof;
}

void MpvMediaPlayer::stop() {
    if (engineBroken_) return;
    if (mpv_ && loads_.engaged()) {
        const char* command[] = {"stop", nullptr};
        mpv_command_async(mpv_, kIgnoredReply, command);
    }
    loads_.stop();
    loadQueued_ = false;
    needsLoad_ = media_.has_value();
    forgetMedia();
    notifier_.schedule();
}

void MpvMediaPlayer::setTime(std::int32_t milliseconds) { seekWhenLoaded({milliseconds, false}); }

void MpvMediaPlayer::setTimeExact(std::int32_t milliseconds) {
    seekWhenLoaded({milliseconds, true});
}

void MpvMediaPlayer::seekWhenLoaded(Seek seek) {
    if (loads_.phase() == Phase::Loaded) {
        seekTo(seek.milliseconds, seek.exact);
    } else if (loads_.phase() == Phase::Opening) {
        pendingSeek_ = seek;
    }
}

// Plain "absolute" leaves the precision to mpv's hr-seek setting; "+exact" decodes up to the
// frame asked for whatever that setting says.
void MpvMediaPlayer::seekTo(std::int32_t milliseconds, bool exact) {
    if (!mpv_) return;
    const std::string seconds = secondsText(milliseconds);
    const char* command[] = {"seek", seconds.c_str(), exact ? "absolute+exact" : "absolute",
                             nullptr};
    mpv_command_async(mpv_, kIgnoredReply, command);
}

std::optional<std::int32_t> MpvMediaPlayer::time() const {
    const MpvPropertyValues& v = values();
    if (!v.timePos) return std::nullopt;
    // At the end the position is the media's end, though the last frame started earlier.
    if (v.eof && v.duration) return toMilliseconds(std::max(*v.timePos, *v.duration));
    return toMilliseconds(*v.timePos);
}

std::optional<std::int32_t> MpvMediaPlayer::length() const {
    if (!values().duration) return std::nullopt;
    return toMilliseconds(*values().duration);
}

// Our scale is 0..200 with 200 full volume; mpv's 100 is full volume and it does not clamp.
int MpvMediaPlayer::volume() const {
    return static_cast<int>(std::clamp<long>(std::lround(values().volume * 2.0), 0, 200));
}

void MpvMediaPlayer::setVolume(int volume) {
    properties_.setDouble(kVolumeProperty, std::clamp(volume, 0, 200) / 2.0);
}

void MpvMediaPlayer::setMute(bool mute) { properties_.setFlag(kMuteProperty, mute); }

bool MpvMediaPlayer::isMuted() const { return values().muted; }

float MpvMediaPlayer::rate() const { return static_cast<float>(values().speed); }

void MpvMediaPlayer::setRate(float rate) {
    if (!std::isfinite(rate) || rate <= 0) {
        logLine("mpv: ignored playback rate " + std::to_string(rate));
        return;
    }
    properties_.setDouble(kSpeedProperty, std::clamp(static_cast<double>(rate), 0.01, 100.0));
}

QStringList MpvMediaPlayer::audioTrackNames() const {
    return lirra::audioTrackNames(values().tracks);
}

QVector<int> MpvMediaPlayer::audioTrackIndexes() const { return audioTrackIds(values().tracks); }

int MpvMediaPlayer::currentAudioTrackIndex() const { return values().aid; }

void MpvMediaPlayer::setCurrentAudioTrackIndex(int index) { setTrack(kAidProperty, index); }

int MpvMediaPlayer::currentVideoSubTitleIndex() const { return values().sid; }

void MpvMediaPlayer::setCurrentVideoSubTitleIndex(int index) { setTrack(kSidProperty, index); }

void MpvMediaPlayer::setTrack(const char* property, int index) {
    const std::string text = index > 0 ? std::to_string(index) : "no";
    properties_.setString(property, text.c_str());
}

std::vector<TrackInformation> MpvMediaPlayer::tracksInformation() const {
    return lirra::tracksInformation(values().tracks, values().videoWidth, values().videoHeight);
}

int MpvMediaPlayer::state() const {
    switch (loads_.phase()) {
        case Phase::Idle:
            return kMediaPlayerStateStopped;
        case Phase::Opening:
            return kMediaPlayerStateOpening;
        case Phase::Ended:
            return kMediaPlayerStateEnded;
        case Phase::Failed:
            return kMediaPlayerStateError;
        case Phase::Loaded:
            break;
    }
    if (values().buffering) return kMediaPlayerStateBuffering;
    return values().paused ? kMediaPlayerStatePaused : kMediaPlayerStatePlaying;
}

std::optional<std::string> MpvMediaPlayer::engineProperty(const char* name) const {
    if (!mpv_) return std::nullopt;
    char* text = mpv_get_property_string(mpv_, name);
    if (!text) return std::nullopt;
    std::string value(text);
    mpv_free(text);
    return value;
}

}  // namespace lirra
