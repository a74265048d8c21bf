#include "MpvMediaPlayer.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Log.h"

namespace lirra {
namespace {

// mpv's names of the observed properties.
constexpr char kTimePos[] = "time-pos";
constexpr char kDuration[] = "duration";
constexpr char kEofReached[] = "eof-reached";
constexpr char kPause[] = "pause";
constexpr char kPausedForCache[] = "paused-for-cache";
constexpr char kVolume[] = "volume";
constexpr char kMute[] = "mute";
constexpr char kSpeed[] = "speed";
constexpr char kAid[] = "aid";
constexpr char kSid[] = "sid";
constexpr char kTrackList[] = "track-list";
constexpr char kVideoWidth[] = "video-params/w";
constexpr char kVideoHeight[] = "video-params/h";
// Further properties we set.
constexpr char kBackgroundProperty[] = "background";
constexpr char kPanscanProperty[] = "panscan";

// Reply ids: observed properties use their Property number; the rest live above these bases.
constexpr std::uint64_t kIgnoredReply = 1000;
constexpr std::uint64_t kSetReplyBase = 2000;
constexpr std::uint64_t kGetReplyBase = 3000;
constexpr std::uint64_t kLoadReplyBase = std::uint64_t{1} << 32;

// expectedEntry_ values that are not playlist entry ids.
constexpr std::int64_t kNoEntry = 0;
constexpr std::int64_t kAwaitingReply = -1;  // loadfile sent, its entry id not known yet
constexpr std::int64_t kAnyEntry = -2;       // the next START_FILE is ours

// At most ten time notifications a second; a seek and the end are told at once.
constexpr auto kTimeInterval = std::chrono::milliseconds(100);

std::int32_t toMilliseconds(double seconds) {
    const double ms = std::round(seconds * 1000.0);
    if (!std::isfinite(ms)) return 0;
    return static_cast<std::int32_t>(std::clamp<double>(
        ms, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// "12.345" from 12345, without locale or rounding surprises.
std::string secondsText(std::int32_t milliseconds) {
    const std::int64_t ms = std::max<std::int64_t>(milliseconds, 0);
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(ms / 1000) + "." + fraction;
}

std::optional<double> asDouble(const mpv_event_property& p) {
    if (p.format == MPV_FORMAT_DOUBLE && p.data) return *static_cast<const double*>(p.data);
    return std::nullopt;
}

bool asFlag(const mpv_event_property& p) {
    return p.format == MPV_FORMAT_FLAG && p.data && *static_cast<const int*>(p.data) != 0;
}

int asInt(const mpv_event_property& p) {
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

QString colorText(const Color& c) {
    auto channel = [](double v) { return QString::number(std::clamp(v, 0.0, 1.0), 'f', 4); };
    return channel(c.red) + '/' + channel(c.green) + '/' + channel(c.blue) + '/' + channel(c.alpha);
}

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

}  // namespace

const std::array<MpvMediaPlayer::PropertyBinding, MpvMediaPlayer::kPropertyCount>
    MpvMediaPlayer::kPropertyBindings = {{
        {kTimePosProperty, kTimePos, MPV_FORMAT_DOUBLE, true, &MpvMediaPlayer::onTimePos},
        {kDurationProperty, kDuration, MPV_FORMAT_DOUBLE, true, &MpvMediaPlayer::onDuration},
        {kEofReachedProperty, kEofReached, MPV_FORMAT_FLAG, true, &MpvMediaPlayer::onEofReached},
        {kPauseProperty, kPause, MPV_FORMAT_FLAG, false, &MpvMediaPlayer::onPause},
        {kPausedForCacheProperty, kPausedForCache, MPV_FORMAT_FLAG, true,
         &MpvMediaPlayer::onPausedForCache},
        {kVolumeProperty, kVolume, MPV_FORMAT_DOUBLE, false, &MpvMediaPlayer::onVolume},
        {kMuteProperty, kMute, MPV_FORMAT_FLAG, false, &MpvMediaPlayer::onMute},
        {kSpeedProperty, kSpeed, MPV_FORMAT_DOUBLE, false, &MpvMediaPlayer::onSpeed},
        {kAidProperty, kAid, MPV_FORMAT_STRING, false, &MpvMediaPlayer::onAid},
        {kSidProperty, kSid, MPV_FORMAT_STRING, false, &MpvMediaPlayer::onSid},
        {kTrackListProperty, kTrackList, MPV_FORMAT_NODE, true, &MpvMediaPlayer::onTrackList},
        {kVideoWidthProperty, kVideoWidth, MPV_FORMAT_INT64, true, &MpvMediaPlayer::onVideoWidth},
        {kVideoHeightProperty, kVideoHeight, MPV_FORMAT_INT64, true,
         &MpvMediaPlayer::onVideoHeight},
    }};

MpvMediaPlayer::MpvMediaPlayer(MpvVideoView& view, NotificationCenter& center)
    : view_(&view), center_(center) {
    for (std::size_t i = 0; i < kPropertyBindings.size(); ++i) {
        Q_ASSERT(kPropertyBindings[i].id == i);
    }
    timeTimer_.setSingleShot(true);
    QObject::connect(&timeTimer_, &QTimer::timeout, &context_, [this] { notifyChanges(); });
    startEngine();
    view_->setRenderer(this);  // creates the render context now if the view's GL is ready
}

// Teardown order matters: no callback may reach a half-destroyed player, and the render
// context must be freed in the GL context it was made in.
MpvMediaPlayer::~MpvMediaPlayer() {
    // 1. The view stops calling in.
    if (view_) view_->setRenderer(nullptr);
    // 2. mpv's threads stop waking us (the call waits for a callback in progress).
    if (mpv_) mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    // 3. The render context goes with the GL context current (it has none left if the view
    //    is gone, and must be freed all the same).
    if (render_ && view_) view_->withGlContext([this] { glAboutToBeDestroyed(); });
    glAboutToBeDestroyed();
    // 4. The core goes last; work still queued for context_ is dropped with context_.
    if (mpv_) mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
}

void MpvMediaPlayer::startEngine() {
    mpv_ = mpv_create();
    if (!mpv_) {
        fail("mpv: the engine could not be created (LC_NUMERIC must be \"C\")");
        return;
    }
    // The engine draws through our render context only, shows nothing of its own and takes
    // no settings, scripts or key bindings from the user's mpv set-up.
    setEngineOption("vo", "libmpv");
    setEngineOption("hwdec", "auto-safe");
    setEngineOption("keep-open", "yes");  // a finished video rests paused on its last frame
    setEngineOption("sub-auto", "no");
    setEngineOption(kSid, "no");  // the pages draw the subtitles
    setEngineOption("osc", "no");
    setEngineOption("osd-level", "0");
    setEngineOption("input-default-bindings", "no");
    setEngineOption("input-vo-keyboard", "no");
    setEngineOption("config", "no");
    setEngineOption("load-scripts", "no");
    setEngineOption("ytdl", "no");
    setEngineOption("resume-playback", "no");
    setEngineOption("cover-art-auto", "no");
    setEngineOption("audio-client-name", "lirra");
    // Without a sound device the picture still plays, in time, with its tracks selectable.
    setEngineOption("audio-fallback-to-null", "yes");
    setEngineOption(kBackgroundProperty, colorText(view_->backColor()).toStdString());
    setEngineOption(kPanscanProperty, view_->fillScreen() ? "1.0" : "0.0");
    if (const int error = mpv_initialize(mpv_); error < 0) {
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
        fail(std::string("mpv: the engine did not start: ") + mpv_error_string(error));
        return;
    }
    mpv_request_log_messages(mpv_, "warn");
    for (const PropertyBinding& binding : kPropertyBindings) {
        mpv_observe_property(mpv_, binding.id, binding.name,
                             static_cast<mpv_format>(binding.format));
    }
    mpv_set_wakeup_callback(mpv_, &MpvMediaPlayer::onWakeup, this);
}

void MpvMediaPlayer::fail(const std::string& why) {
    logLine(why);
    engineBroken_ = true;
    phase_ = Phase::Failed;
    scheduleNotify();
}

void MpvMediaPlayer::setEngineOption(const char* name, const std::string& value) {
    if (const int error = mpv_set_option_string(mpv_, name, value.c_str()); error < 0) {
        logLine(std::string("mpv: option ") + name + ": " + mpv_error_string(error));
    }
}

// --- Rendering (main thread, GL context current) ---

void MpvMediaPlayer::glInitialized() {
    if (!mpv_ || render_) return;
    mpv_opengl_init_params glInit{&glProcAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (const int error = mpv_render_context_create(&render_, mpv_, params); error < 0) {
        render_ = nullptr;
        fail(std::string("mpv: no render context: ") + mpv_error_string(error));
        return;
    }
    mpv_render_context_set_update_callback(render_, &MpvMediaPlayer::onRenderUpdate, this);
    if (loadQueued_) {
        issueLoadfile();
    } else if (fileActive_) {
        // Only after the view lost its GL context while playing (Qt 6.4 keeps it when the
        // view changes windows): mpv dropped that media's video output.
        logLine("mpv: new render context while playing; the picture returns with the next media");
    }
}

void MpvMediaPlayer::glAboutToBeDestroyed() {
    if (!render_) return;
    mpv_render_context_free(render_);
    render_ = nullptr;
}

bool MpvMediaPlayer::render(int fbo, int width, int height) {
    if (!render_ || phase_ != Phase::Loaded) return false;
    mpv_opengl_fbo target{fbo, width, height, 0};
    int flipY = 1;               // Qt's framebuffer is bottom-up
    int blockForTargetTime = 0;  // never hold the GUI thread waiting for a frame's time
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_, params);
    return true;
}

void MpvMediaPlayer::frameSwapped() {
    if (render_) mpv_render_context_report_swap(render_);
}

void MpvMediaPlayer::viewSettingsChanged() { applyViewSettings(); }

void MpvMediaPlayer::viewDestroyed() { view_ = nullptr; }

void MpvMediaPlayer::applyViewSettings() {
    if (!mpv_ || !view_) return;
    const QByteArray color = colorText(view_->backColor()).toUtf8();
    const char* colorData = color.constData();
    mpv_set_property_async(mpv_, kIgnoredReply, kBackgroundProperty, MPV_FORMAT_STRING, &colorData);
    double panscan = view_->fillScreen() ? 1.0 : 0.0;  // 1: fill the view, cropping
    mpv_set_property_async(mpv_, kIgnoredReply, kPanscanProperty, MPV_FORMAT_DOUBLE, &panscan);
}

// --- mpv's threads: only post to the main thread ---

void MpvMediaPlayer::onWakeup(void* self) {
    auto* player = static_cast<MpvMediaPlayer*>(self);
    if (player->wakeupPosted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        &player->context_, [player] { player->drainEvents(); }, Qt::QueuedConnection);
}

void MpvMediaPlayer::onRenderUpdate(void* self) {
    auto* player = static_cast<MpvMediaPlayer*>(self);
    if (player->updatePosted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        &player->context_,
        [player] {
            player->updatePosted_ = false;
            if (!player->render_) return;
            if ((mpv_render_context_update(player->render_) & MPV_RENDER_UPDATE_FRAME) &&
                player->view_) {
                player->view_->update();
            }
        },
        Qt::QueuedConnection);
}

// --- Events (main thread) ---

void MpvMediaPlayer::drainEvents() {
    wakeupPosted_ = false;  // before reading, so a wakeup during the drain is not lost
    while (mpv_) {
        const mpv_event* event = mpv_wait_event(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        handleEvent(*event);
    }
    notifyChanges();
}

void MpvMediaPlayer::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_PROPERTY_CHANGE:
            if (event.reply_userdata < kPropertyCount) {
                applyProperty(static_cast<Property>(event.reply_userdata),
                              *static_cast<const mpv_event_property*>(event.data));
            }
            break;
        case MPV_EVENT_SET_PROPERTY_REPLY:
            handleSetPropertyReply(event);
            break;
        case MPV_EVENT_GET_PROPERTY_REPLY:
            if (event.error >= 0 && event.reply_userdata >= kGetReplyBase &&
                event.reply_userdata - kGetReplyBase < kPropertyCount) {
                applyProperty(static_cast<Property>(event.reply_userdata - kGetReplyBase),
                              *static_cast<const mpv_event_property*>(event.data));
            }
            break;
        case MPV_EVENT_COMMAND_REPLY:
            handleCommandReply(event);
            break;
        case MPV_EVENT_START_FILE:
            handleStartFile(
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
            forceTimePost_ = true;
            timeDirty_ = timeDirty_ || timePos_.has_value();
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

void MpvMediaPlayer::applyProperty(Property id, const mpv_event_property& property) {
    const PropertyBinding& binding = kPropertyBindings[id];
    // While a value we set is on its way, older values may still be reported; and what mpv
    // says of a media before ours started, or after it was stopped, is not about ours.
    if (pendingSets_[id] > 0 || (binding.perMedia && !fileActive_)) return;
    (this->*binding.onChange)(property);
}

void MpvMediaPlayer::handleSetPropertyReply(const mpv_event& event) {
    const std::uint64_t id = event.reply_userdata - kSetReplyBase;
    if (event.reply_userdata < kSetReplyBase || id >= kPropertyCount) {
        if (event.error < 0) logLine(std::string("mpv: ") + mpv_error_string(event.error));
        return;
    }
    --pendingSets_[id];
    if (event.error < 0) {
        logLine(std::string("mpv: setting ") + kPropertyBindings[id].name + ": " +
                mpv_error_string(event.error));
    }
    // Read the value back: the engine may have refused or adjusted it.
    if (pendingSets_[id] == 0 && mpv_) {
        mpv_get_property_async(mpv_, kGetReplyBase + id, kPropertyBindings[id].name,
                               static_cast<mpv_format>(kPropertyBindings[id].format));
    }
}

void MpvMediaPlayer::handleCommandReply(const mpv_event& event) {
    if (event.reply_userdata < kLoadReplyBase) {
        if (event.error < 0) logLine(std::string("mpv: command: ") + mpv_error_string(event.error));
        return;
    }
    // Only the latest loadfile counts; earlier ones were replaced or stopped.
    if (event.reply_userdata - kLoadReplyBase != loadSerial_ || expectedEntry_ != kAwaitingReply) {
        return;
    }
    if (event.error < 0) {
        logLine(std::string("mpv: loadfile: ") + mpv_error_string(event.error));
        expectedEntry_ = kNoEntry;
        phase_ = Phase::Failed;
        return;
    }
    expectedEntry_ = kAnyEntry;
    const mpv_node& result = static_cast<const mpv_event_command*>(event.data)->result;
    if (result.format == MPV_FORMAT_NODE_MAP && result.u.list) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const mpv_node& value = result.u.list->values[i];
            if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
                value.format == MPV_FORMAT_INT64) {
                expectedEntry_ = value.u.int64;
            }
        }
    }
}

void MpvMediaPlayer::handleStartFile(std::int64_t entryId) {
    if (expectedEntry_ == kAnyEntry) expectedEntry_ = entryId;
    if (entryId != expectedEntry_) return;
    fileActive_ = true;
    phase_ = Phase::Opening;
}

void MpvMediaPlayer::handleFileLoaded() {
    if (!fileActive_) return;
    phase_ = Phase::Loaded;
    // mpv reports only changes; a value equal to the previous media's may never be reported,
    // so read everything once.
    for (const PropertyBinding& binding : kPropertyBindings) {
        mpv_get_property_async(mpv_, kGetReplyBase + binding.id, binding.name,
                               static_cast<mpv_format>(binding.format));
    }
    if (pendingSeek_) {
        seekTo(*pendingSeek_);
        pendingSeek_.reset();
    }
}

void MpvMediaPlayer::handleEndFile(const mpv_event& event) {
    const auto& end = *static_cast<const mpv_event_end_file*>(event.data);
    if (end.playlist_entry_id != expectedEntry_ || !fileActive_) return;
    fileActive_ = false;
    switch (end.reason) {
        case MPV_END_FILE_REASON_ERROR:
            logLine(std::string("mpv: cannot play the media: ") + mpv_error_string(end.error));
            expectedEntry_ = kNoEntry;
            phase_ = Phase::Failed;
            break;
        case MPV_END_FILE_REASON_EOF:
            expectedEntry_ = kNoEntry;
            phase_ = Phase::Ended;
            break;
        case MPV_END_FILE_REASON_REDIRECT:
            // A playlist: the media goes on in the entries it inserted.
            expectedEntry_ = end.playlist_insert_id > 0 ? end.playlist_insert_id : kAnyEntry;
            phase_ = Phase::Opening;
            break;
        default:
            expectedEntry_ = kNoEntry;
            phase_ = Phase::Idle;
            break;
    }
}

// --- Observed properties ---

void MpvMediaPlayer::onTimePos(const mpv_event_property& p) {
    const std::optional<double> value = asDouble(p);
    const auto ms = [](std::optional<double> v) {
        return v ? std::optional<std::int32_t>(toMilliseconds(*v)) : std::nullopt;
    };
    if (ms(value) != ms(timePos_)) timeDirty_ = true;
    timePos_ = value;
}

void MpvMediaPlayer::onDuration(const mpv_event_property& p) { duration_ = asDouble(p); }

void MpvMediaPlayer::onEofReached(const mpv_event_property& p) {
    const bool eof = asFlag(p);
    if (eof && !eof_) {
        // The end is told at once, with the position at the media's end.
        timeDirty_ = true;
        forceTimePost_ = true;
    }
    eof_ = eof;
}

void MpvMediaPlayer::onPause(const mpv_event_property& p) { paused_ = asFlag(p); }

void MpvMediaPlayer::onPausedForCache(const mpv_event_property& p) { buffering_ = asFlag(p); }

void MpvMediaPlayer::onVolume(const mpv_event_property& p) {
    if (const auto v = asDouble(p)) volume_ = *v;
}

void MpvMediaPlayer::onMute(const mpv_event_property& p) { muted_ = asFlag(p); }

void MpvMediaPlayer::onSpeed(const mpv_event_property& p) {
    if (const auto v = asDouble(p)) speed_ = *v;
}

void MpvMediaPlayer::onAid(const mpv_event_property& p) { aid_ = asTrack(p); }

void MpvMediaPlayer::onSid(const mpv_event_property& p) { sid_ = asTrack(p); }

void MpvMediaPlayer::onTrackList(const mpv_event_property& p) {
    if (p.format == MPV_FORMAT_NODE && p.data) {
        tracks_ = parseTrackList(*static_cast<const mpv_node*>(p.data));
    } else {
        tracks_.clear();
    }
}

void MpvMediaPlayer::onVideoWidth(const mpv_event_property& p) { videoWidth_ = asInt(p); }

void MpvMediaPlayer::onVideoHeight(const mpv_event_property& p) { videoHeight_ = asInt(p); }

// --- Operations ---

void MpvMediaPlayer::setMedia(const Media& media) {
    media_ = media;
    needsLoad_ = true;
}

void MpvMediaPlayer::play() {
    if (engineBroken_) {
        // Tell the caller again, so a launch on a dead engine is reported.
        forceStatePost_ = true;
        scheduleNotify();
        return;
    }
    if (media_ && (needsLoad_ || phase_ == Phase::Idle || phase_ == Phase::Ended ||
                   phase_ == Phase::Failed)) {
        requestLoad();
        return;
    }
    if (phase_ != Phase::Loaded && phase_ != Phase::Opening) return;
    if (phase_ == Phase::Loaded && eof_) seekTo(0);  // play again from the start
    setFlag(kPauseProperty, false);
    scheduleNotify();
}

void MpvMediaPlayer::requestLoad() {
    needsLoad_ = false;
    forgetMedia();
    phase_ = Phase::Opening;
    if (render_) {
        issueLoadfile();
    } else {
        loadQueued_ = true;  // the engine may only load once it can draw
    }
    scheduleNotify();
}

void MpvMediaPlayer::issueLoadfile() {
    loadQueued_ = false;
    if (!mpv_ || !media_) return;
    QByteArray location;
    if (media_->kind == Media::Kind::Url) {
        location = media_->location.toUtf8();
    } else if (!media_->location.isEmpty()) {
        // An absolute path is always a file to mpv, whatever it looks like ("-x", "a:b").
        location = QFileInfo(media_->location).absoluteFilePath().toUtf8();
    }
    if (location.isEmpty()) {
        logLine("mpv: no media location");
        phase_ = Phase::Failed;
        scheduleNotify();
        return;
    }
    setFlag(kPauseProperty, false);  // pause carries over from the previous media
    ++loadSerial_;
    expectedEntry_ = kAwaitingReply;
    const char* command[] = {"loadfile", location.constData(), "replace", nullptr};
    if (const int error = mpv_command_async(mpv_, kLoadReplyBase + loadSerial_, command);
        error < 0) {
        logLine(std::string("mpv: loadfile: ") + mpv_error_string(error));
        expectedEntry_ = kNoEntry;
        phase_ = Phase::Failed;
        scheduleNotify();
    }
}

// What was known of the previous media no longer holds.
void MpvMediaPlayer::forgetMedia() {
    fileActive_ = false;
    pendingSeek_.reset();
    timePos_.reset();
    duration_.reset();
    eof_ = false;
    buffering_ = false;
    tracks_.clear();
    videoWidth_ = 0;
    videoHeight_ = 0;
}

void MpvMediaPlayer::pause() {
    if (phase_ != Phase::Loaded && phase_ != Phase::Opening) return;
    setFlag(kPauseProperty, true);
    scheduleNotify();
}

bool MpvMediaPlayer::isPlaying() const { return phase_ == Phase::Loaded && !paused_ && !eof_; }

void MpvMediaPlayer::stop() {
    if (engineBroken_) return;
    if (mpv_ && (expectedEntry_ != kNoEntry || fileActive_)) {
        const char* command[] = {"stop", nullptr};
        mpv_command_async(mpv_, kIgnoredReply, command);
    }
    expectedEntry_ = kNoEntry;  // whatever mpv still reports of that media is stale
    loadQueued_ = false;
    needsLoad_ = media_.has_value();
    forgetMedia();
    phase_ = Phase::Idle;
    if (view_) view_->update();
    scheduleNotify();
}

void MpvMediaPlayer::setTime(std::int32_t milliseconds) {
    if (phase_ == Phase::Loaded) {
        seekTo(milliseconds);
    } else if (phase_ == Phase::Opening) {
        pendingSeek_ = milliseconds;
    }
}

void MpvMediaPlayer::seekTo(std::int32_t milliseconds) {
    if (!mpv_) return;
    const std::string seconds = secondsText(milliseconds);
    const char* command[] = {"seek", seconds.c_str(), "absolute", nullptr};
    mpv_command_async(mpv_, kIgnoredReply, command);
}

std::optional<std::int32_t> MpvMediaPlayer::time() const {
    if (!timePos_) return std::nullopt;
    // At the end the position is the media's end, though the last frame started earlier.
    if (eof_ && duration_) return toMilliseconds(std::max(*timePos_, *duration_));
    return toMilliseconds(*timePos_);
}

std::optional<std::int32_t> MpvMediaPlayer::length() const {
    if (!duration_) return std::nullopt;
    return toMilliseconds(*duration_);
}

// Our scale is 0..200 with 200 full volume; mpv's 100 is full volume and it does not clamp.
int MpvMediaPlayer::volume() const {
    return static_cast<int>(std::clamp<long>(std::lround(volume_ * 2.0), 0, 200));
}

void MpvMediaPlayer::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 200) / 2.0;
    double value = volume_;
    setProperty(kVolumeProperty, MPV_FORMAT_DOUBLE, &value);
}

void MpvMediaPlayer::setMute(bool mute) { setFlag(kMuteProperty, mute); }

bool MpvMediaPlayer::isMuted() const { return muted_; }

float MpvMediaPlayer::rate() const { return static_cast<float>(speed_); }

void MpvMediaPlayer::setRate(float rate) {
    if (!std::isfinite(rate) || rate <= 0) {
        logLine("mpv: ignored playback rate " + std::to_string(rate));
        return;
    }
    speed_ = std::clamp(static_cast<double>(rate), 0.01, 100.0);  // mpv's range
    double value = speed_;
    setProperty(kSpeedProperty, MPV_FORMAT_DOUBLE, &value);
}

QStringList MpvMediaPlayer::audioTrackNames() const {
    QStringList names;
    for (const MpvTrack& track : tracks_) {
        if (track.type == QLatin1String("audio")) names.append(audioTrackName(track));
    }
    return names;
}

QVector<int> MpvMediaPlayer::audioTrackIndexes() const {
    QVector<int> indexes;
    for (const MpvTrack& track : tracks_) {
        if (track.type == QLatin1String("audio")) indexes.append(static_cast<int>(track.id));
    }
    return indexes;
}

int MpvMediaPlayer::currentAudioTrackIndex() const { return aid_; }

void MpvMediaPlayer::setCurrentAudioTrackIndex(int index) { setTrack(kAidProperty, index); }

int MpvMediaPlayer::currentVideoSubTitleIndex() const { return sid_; }

void MpvMediaPlayer::setCurrentVideoSubTitleIndex(int index) { setTrack(kSidProperty, index); }

std::vector<TrackInformation> MpvMediaPlayer::tracksInformation() const {
    std::vector<TrackInformation> information;
    for (const MpvTrack& track : tracks_) {
        TrackInformation info;
        info.type = track.type == QLatin1String("sub") ? QStringLiteral("text") : track.type;
        if (track.type == QLatin1String("video")) {
            // Containers usually give the size; otherwise the decoder's picture does.
            const bool fromDemuxer = track.demuxWidth > 0 && track.demuxHeight > 0;
            info.width = fromDemuxer ? track.demuxWidth : videoWidth_;
            info.height = fromDemuxer ? track.demuxHeight : videoHeight_;
        }
        information.push_back(info);
    }
    return information;
}

int MpvMediaPlayer::state() const {
    switch (phase_) {
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
    if (buffering_) return kMediaPlayerStateBuffering;
    return paused_ ? kMediaPlayerStatePaused : kMediaPlayerStatePlaying;
}

std::optional<std::string> MpvMediaPlayer::engineProperty(const char* name) const {
    if (!mpv_) return std::nullopt;
    char* text = mpv_get_property_string(mpv_, name);
    if (!text) return std::nullopt;
    std::string value(text);
    mpv_free(text);
    return value;
}

void MpvMediaPlayer::setProperty(Property id, int format, void* data) {
    if (!mpv_) return;
    const int error = mpv_set_property_async(mpv_, kSetReplyBase + id, kPropertyBindings[id].name,
                                             static_cast<mpv_format>(format), data);
    if (error < 0) {
        logLine(std::string("mpv: setting ") + kPropertyBindings[id].name + ": " +
                mpv_error_string(error));
        return;
    }
    ++pendingSets_[id];
}

void MpvMediaPlayer::setFlag(Property id, bool value) {
    if (id == kPauseProperty) paused_ = value;
    if (id == kMuteProperty) muted_ = value;
    int flag = value ? 1 : 0;
    setProperty(id, MPV_FORMAT_FLAG, &flag);
}

void MpvMediaPlayer::setTrack(Property id, int index) {
    const int track = index > 0 ? index : -1;
    (id == kAidProperty ? aid_ : sid_) = track;
    const std::string text = track > 0 ? std::to_string(track) : "no";
    const char* data = text.c_str();
    setProperty(id, MPV_FORMAT_STRING, &data);
}

// --- Notifications (main thread) ---

void MpvMediaPlayer::scheduleNotify() {
    // Never from inside the caller's own call: observers may call back into the player.
    QMetaObject::invokeMethod(
        &context_, [this] { notifyChanges(); }, Qt::QueuedConnection);
}

bool MpvMediaPlayer::timeDue() const {
    return timeDirty_ &&
           (forceTimePost_ || std::chrono::steady_clock::now() - lastTimePost_ >= kTimeInterval);
}

void MpvMediaPlayer::notifyChanges() {
    // Observers may run a nested event loop that drains more events; the outermost call
    // keeps posting until nothing is left to tell.
    if (notifying_) return;
    notifying_ = true;
    const std::weak_ptr<int> alive = lifetime_;
    const void* sender = static_cast<MediaPlayer*>(this);
    for (;;) {
        const int current = state();
        // Reaching the end is told even when the state number stays paused, so an observer
        // reading the position then sees the end.
        const bool atEnd = phase_ == Phase::Loaded && eof_;
        if (current != postedState_ || (atEnd && !postedAtEnd_) || forceStatePost_) {
            postedState_ = current;
            postedAtEnd_ = atEnd;
            forceStatePost_ = false;
            center_.post(kMediaPlayerStateChanged, sender);
            if (alive.expired()) return;  // an observer destroyed the player
            continue;
        }
        if (!atEnd) postedAtEnd_ = false;
        if (timeDue()) {
            timeDirty_ = false;
            forceTimePost_ = false;
            lastTimePost_ = std::chrono::steady_clock::now();
            center_.post(kMediaPlayerTimeChanged, sender);
            if (alive.expired()) return;
            continue;
        }
        break;
    }
    notifying_ = false;
    if (timeDirty_ && !timeTimer_.isActive()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            lastTimePost_ + kTimeInterval - std::chrono::steady_clock::now());
        timeTimer_.start(std::max<int>(1, static_cast<int>(wait.count())));
    }
}

}  // namespace lirra
