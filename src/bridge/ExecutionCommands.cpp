// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExecutionCommands.h"

#include <QByteArray>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "ArgumentReadings.h"
#include "BridgeNames.h"

namespace lirra {

namespace {

// A missing argument reads as an empty text.
QString argument(const BridgeArguments& arguments, const char* name) {
    return arguments.value(QLatin1String(name));
}

// Whole seconds from the page, as the engine's 32-bit millisecond count; positions beyond its
// range (some 24 days) stop at its ends instead of wrapping around.
std::int32_t secondsToMilliseconds(std::int32_t seconds) {
    const std::int64_t milliseconds = std::int64_t{seconds} * 1000;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(milliseconds, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

void stop(BridgeContext& context, const BridgeArguments&) { context.screens.loadHomeScreen(); }

void enableDraggableHomeScreen(BridgeContext& context, const BridgeArguments&) {
    if (WebView* home = context.views.homeWebView()) home->registerForDraggedFileNames();
    context.state.draggable = true;
    context.state.homePageReady = true;
    if (context.state.openFilePath.isEmpty()) return;
    // Cleared before the call, which may itself store a new path.
    const QString path = std::exchange(context.state.openFilePath, QString());
    context.intake.processVideoAndLaunch(path);
}

void resizeForTutorial(BridgeContext& context, const BridgeArguments&) {
    Window& window = context.mainWindow;
    // The outer frame is compared but the content height is set: a frame of exactly 510 still
    // grows by its title bar.
    if (window.frame().size.height > kTutorialContentHeight) return;
    const Size ratio = window.contentAspectRatio();
    double width = window.contentView().bounds().size.width;  // no ratio in force: keep it
    if (ratio.width > 0 && ratio.height > 0) {
        width = kTutorialContentHeight * ratio.width / ratio.height;
    }
    window.setContentSize({width, kTutorialContentHeight});
}

void resizeForPayment(BridgeContext& context, const BridgeArguments&) {
    context.mainWindow.setContentSize({kPaymentContentWidth, kPaymentContentHeight});
}

void toggleFullscreen(BridgeContext& context, const BridgeArguments&) {
    context.mainWindow.toggleFullScreen();
}

// Player commands; there is no player before the first video.
using PlayerCommand = void (*)(MediaPlayer& player, const BridgeArguments& arguments);

template <PlayerCommand command>
void onPlayer(BridgeContext& context, const BridgeArguments& arguments) {
    if (MediaPlayer* player = context.views.player()) command(*player, arguments);
}

void seekTo(MediaPlayer& player, const BridgeArguments& arguments) {
    player.setTime(secondsToMilliseconds(intValue(argument(arguments, kPositionArgument))));
}

// The page's line jumps: a line starts between two whole seconds.
void seekToMs(MediaPlayer& player, const BridgeArguments& arguments) {
    player.setTimeExact(std::max(0, intValue(argument(arguments, kMillisecondsArgument))));
}

void setMuted(MediaPlayer& player, const BridgeArguments& arguments) {
    player.setMute(boolValue(argument(arguments, kMutedArgument)));
}

void setVolume(MediaPlayer& player, const BridgeArguments& arguments) {
    player.setMute(false);
    player.setVolume(intValue(argument(arguments, kVolumeArgument)));
}

void play(BridgeContext& context, const BridgeArguments&) {
    if (context.views.setPlaysAfterPageWait(true)) return;
    if (MediaPlayer* player = context.views.player()) player->play();
}

// A page that pauses as soon as it is ready finds the video still waiting for it, paused.
void pause(BridgeContext& context, const BridgeArguments&) {
    if (context.views.setPlaysAfterPageWait(false)) return;
    MediaPlayer* player = context.views.player();
    if (player && player->isPlaying()) player->pause();
}

void setPlaybackSpeed(MediaPlayer& player, const BridgeArguments& arguments) {
    player.setRate(floatValue(argument(arguments, kSpeedArgument)));
}

void setAudioTrack(MediaPlayer& player, const BridgeArguments& arguments) {
    player.setCurrentAudioTrackIndex(intValue(argument(arguments, kTrackArgument)));
}

// The notebook's "Watch this moment": a video file the service found, opened to start at a
// line. The page may name any path, so only an existing regular file is taken, and only a
// well-formed start; anything else does nothing.
void watchMoment(BridgeContext& context, const BridgeArguments& arguments) {
    const auto strict = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals |
                        QByteArray::AbortOnBase64DecodingErrors;
    const auto decoded =
        QByteArray::fromBase64Encoding(argument(arguments, kFileArgument).toLatin1(), strict);
    const QString ms = argument(arguments, kMillisecondsArgument);
    bool numeric = false;
    const std::int32_t start = ms.toInt(&numeric);
    if (!decoded || decoded.decoded.contains('\0') || !numeric || start < 0) return;
    const QString path = QString::fromUtf8(decoded.decoded);
    const QFileInfo file(path);
    if (path.toUtf8() != decoded.decoded || !file.isAbsolute() || !file.isFile()) return;
    context.state.startAt = StartAt{path, start};
    context.intake.processVideoAndLaunch(path);
}

constexpr BridgeEntry<CommandHandler> kCommands[] = {
    {kStopCommand, stop},
    {kEnableDraggableHomeScreenCommand, enableDraggableHomeScreen},
    {kResizeForTutorialCommand, resizeForTutorial},
    {kResizeForPaymentCommand, resizeForPayment},
    {kSeekToCommand, onPlayer<seekTo>},
    {kSeekToMsCommand, onPlayer<seekToMs>},
    {kSetMutedCommand, onPlayer<setMuted>},
    {kSetVolumeCommand, onPlayer<setVolume>},
    {kPlayCommand, play},
    {kPauseCommand, pause},
    {kSetPlaybackSpeedCommand, onPlayer<setPlaybackSpeed>},
    {kSetAudioTrackCommand, onPlayer<setAudioTrack>},
    {kWatchMomentCommand, watchMoment},
    {kToggleFullscreenCommand, toggleFullscreen},
};

}  // namespace

BridgeTable<CommandHandler> executionCommands() { return kCommands; }

}  // namespace lirra
