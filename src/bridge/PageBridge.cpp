#include "PageBridge.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "ArgumentReadings.h"
#include "NumberText.h"
#include "PageEvents.h"
#include "promise/Promise.h"

namespace lirra {

namespace {

// Data request names.
constexpr char kDuration[] = "Duration";
constexpr char kAudioInfo[] = "AudioInfo";
constexpr char kPlaybackSpeed[] = "PlaybackSpeed";
constexpr char kVolume[] = "Volume";
constexpr char kIsFullscreen[] = "IsFullscreen";
constexpr char kFileName[] = "FileName";

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

void sendReply(WebView* playerWebView, const QString& value, const QString& guid) {
    if (playerWebView == nullptr) {
        return;
    }
    // The guid is the page's own text: escaped with the event name, it cannot become code.
    playerWebView->evaluateScriptAsync(responseScript(guid, value));
}

}  // namespace

PageBridge::PageBridge(BridgeContext context)
    : context_(std::move(context)), self_(std::make_shared<PageBridge*>(this)) {}

PageBridge::~PageBridge() = default;

NavigationPolicy PageBridge::decidePolicyForNavigation(WebView& /*view*/, const QUrl& url) {
    if (isRegistrationLink(url)) {
        const QUrl registration(context_.config.baseUrl + QLatin1String(kRegistrationPath));
        if (registration.isValid() && !registration.isRelative()) {
            context_.application.openUrl(registration);
        }
        return NavigationPolicy::Ignore;
    }
    if (!isBridgeUrl(url)) {
        return NavigationPolicy::Use;
    }
    // Read now, handled once the engine has its answer; posting keeps the pages' order.
    std::weak_ptr<PageBridge*> weakSelf = self_;
    context_.mainThread.post([weakSelf, bridgeUrl = BridgeUrl::fromUrl(url)] {
        if (const auto self = weakSelf.lock()) {
            (*self)->handleBridgeUrl(bridgeUrl);
        }
    });
    return NavigationPolicy::Ignore;
}

void PageBridge::handleBridgeUrl(const BridgeUrl& bridgeUrl) {
    if (bridgeUrl.kind == QLatin1String(kExecuteKind)) {
        handleExecutionRequest(bridgeUrl.name, bridgeUrl.arguments);
    } else if (bridgeUrl.kind == QLatin1String(kRequestKind)) {
        handleDataRequest(bridgeUrl.name, bridgeUrl.arguments);
    }
}

void PageBridge::handleExecutionRequest(const QString& name, const BridgeArguments& arguments) {
    // Commands that need no player.
    if (name == QLatin1String("Stop")) {
        context_.screens.loadHomeScreen();
        return;
    }
    if (name == QLatin1String("EnableDraggableHomeScreen")) {
        enableDraggableHomeScreen();
        return;
    }
    if (name == QLatin1String("ResizeForTutorial")) {
        resizeForTutorial();
        return;
    }
    if (name == QLatin1String("ResizeForPayment")) {
        context_.mainWindow.setContentSize({kPaymentContentWidth, kPaymentContentHeight});
        return;
    }

    // Player commands; there is no player before the first video.
    MediaPlayer* player = context_.player ? context_.player() : nullptr;
    if (player == nullptr) {
        return;
    }
    if (name == QLatin1String("SeekTo")) {
        player->setTime(secondsToMilliseconds(intValue(argument(arguments, "position"))));
    } else if (name == QLatin1String("SetMuted")) {
        player->setMute(boolValue(argument(arguments, "muted")));
    } else if (name == QLatin1String("SetVolume")) {
        player->setMute(false);
        player->setVolume(intValue(argument(arguments, "volume")));
    } else if (name == QLatin1String("Play")) {
        player->play();
    } else if (name == QLatin1String("Pause")) {
        if (player->isPlaying()) {
            player->pause();
        }
    } else if (name == QLatin1String("SetPlaybackSpeed")) {
        player->setRate(floatValue(argument(arguments, "speed")));
    } else if (name == QLatin1String("SetAudioTrack")) {
        player->setCurrentAudioTrackIndex(intValue(argument(arguments, "track")));
    }
}

void PageBridge::enableDraggableHomeScreen() {
    if (WebView* home = context_.homeWebView ? context_.homeWebView() : nullptr) {
        home->registerForDraggedFileNames();
    }
    context_.state.draggable = true;
    context_.state.homePageReady = true;
    if (context_.state.openFilePath.isEmpty()) {
        return;
    }
    // Cleared before the call, which may itself store a new path.
    const QString path = std::exchange(context_.state.openFilePath, QString());
    context_.intake.processVideoAndLaunch(path);
}

void PageBridge::resizeForTutorial() {
    Window& window = context_.mainWindow;
    // The outer frame is compared but the content height is set: a frame of exactly 510 still
    // grows by its title bar.
    if (window.frame().size.height > kTutorialContentHeight) {
        return;
    }
    const Size ratio = window.contentAspectRatio();
    double width = window.contentView().bounds().size.width;  // no ratio in force: keep it
    if (ratio.width > 0 && ratio.height > 0) {
        width = kTutorialContentHeight * ratio.width / ratio.height;
    }
    window.setContentSize({width, kTutorialContentHeight});
}

void PageBridge::handleDataRequest(const QString& name, const BridgeArguments& arguments) {
    const auto guidIt = arguments.constFind(QStringLiteral("guid"));
    if (guidIt == arguments.constEnd()) {
        return;  // nobody could listen for the reply
    }
    const QString guid = guidIt.value();
    AppState& state = context_.state;

    if (name == QLatin1String(kDuration)) {
        replyWhenResolved(state.durationDeferred, guid, true);
    } else if (name == QLatin1String(kAudioInfo)) {
        replyWhenResolved(state.audioInfoDeferred, guid, false);
    } else if (name == QLatin1String(kPlaybackSpeed)) {
        replyWhenResolved(state.playbackSpeedDeferred, guid, true);
    } else if (name == QLatin1String(kVolume)) {
        replyWhenResolved(state.volumeDeferred, guid, true);
    } else if (name == QLatin1String(kIsFullscreen)) {
        returnJsResultToClient(
            context_.mainWindow.isFullScreen() ? QStringLiteral("true") : QStringLiteral("false"),
            guid);
    } else if (name == QLatin1String(kFileName)) {
        returnJsResultToClient(jsStringLiteral(state.videoFileName), guid);
    }
}

void PageBridge::replyWhenResolved(const std::shared_ptr<Deferred>& deferred, const QString& guid,
                                   bool numeric) {
    if (!deferred) {
        return;  // before the first launch: never answered
    }
    // The callback outlives this call inside the Deferred: it holds the view lookup and the
    // guid, nothing of the bridge.
    deferred->promise()->when(
        [playerWebView = context_.playerWebView, guid, numeric](const Value& value) {
            std::optional<QString> reply;
            if (numeric) {
                reply = stringValue(value);
            } else if (const QString* text = std::any_cast<QString>(&value)) {
                reply = *text;
            } else if (const std::string* bytes = std::any_cast<std::string>(&value)) {
                reply = QString::fromStdString(*bytes);
            }
            if (!reply) {
                return;  // not a value the page could be given
            }
            sendReply(playerWebView ? playerWebView() : nullptr, *reply, guid);
        });
}

void PageBridge::returnJsResultToClient(const QString& value, const QString& guid) {
    sendReply(context_.playerWebView ? context_.playerWebView() : nullptr, value, guid);
}

}  // namespace lirra
