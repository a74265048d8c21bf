// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataRequests.h"

#include <any>
#include <memory>
#include <optional>
#include <string>

#include "BridgeNames.h"
#include "ExecutionCommands.h"
#include "NumberText.h"
#include "PageEvents.h"
#include "promise/Promise.h"

namespace lirra {

namespace {

enum class ReplyAs { Number, Text };

void replyWhenResolved(BridgeContext& context, const std::shared_ptr<Deferred>& deferred,
                       const QString& guid, ReplyAs as) {
    if (!deferred) return;  // before the first launch: never answered
    // The callback outlives this call inside the Deferred: it holds the views and the guid,
    // nothing of the bridge.
    deferred->promise()->when([views = &context.views, guid, as](const Value& value) {
        std::optional<QString> reply;
        if (as == ReplyAs::Number) {
            reply = stringValue(value);
        } else if (const QString* text = std::any_cast<QString>(&value)) {
            reply = *text;
        } else if (const std::string* bytes = std::any_cast<std::string>(&value)) {
            reply = QString::fromStdString(*bytes);
        }
        if (!reply) return;  // not a value the page could be given
        returnJsResultToClient(*views, *reply, guid);
    });
}

void duration(BridgeContext& context, const QString& guid) {
    replyWhenResolved(context, context.state.durationDeferred, guid, ReplyAs::Number);
}

void audioInfo(BridgeContext& context, const QString& guid) {
    replyWhenResolved(context, context.state.audioInfoDeferred, guid, ReplyAs::Text);
}

void playbackSpeed(BridgeContext& context, const QString& guid) {
    replyWhenResolved(context, context.state.playbackSpeedDeferred, guid, ReplyAs::Number);
}

void volume(BridgeContext& context, const QString& guid) {
    replyWhenResolved(context, context.state.volumeDeferred, guid, ReplyAs::Number);
}

void isFullscreen(BridgeContext& context, const QString& guid) {
    returnJsResultToClient(
        context.views,
        context.mainWindow.isFullScreen() ? QStringLiteral("true") : QStringLiteral("false"), guid);
}

void fileName(BridgeContext& context, const QString& guid) {
    returnJsResultToClient(context.views, jsStringLiteral(context.state.videoFileName), guid);
}

// A JavaScript array of the command names, in the table's order.
void commands(BridgeContext& context, const QString& guid) {
    QStringList names;
    for (const BridgeEntry<CommandHandler>& entry : executionCommands())
        names.push_back(jsStringLiteral(QString::fromLatin1(entry.name)));
    returnJsResultToClient(context.views, '[' + names.join(',') + ']', guid);
}

constexpr BridgeEntry<RequestHandler> kRequests[] = {
    {kDurationRequest, duration},           {kAudioInfoRequest, audioInfo},
    {kPlaybackSpeedRequest, playbackSpeed}, {kVolumeRequest, volume},
    {kIsFullscreenRequest, isFullscreen},   {kFileNameRequest, fileName},
    {kCommandsRequest, commands},
};

}  // namespace

BridgeTable<RequestHandler> dataRequests() { return kRequests; }

void returnJsResultToClient(BridgeViews& views, const QString& value, const QString& guid) {
    WebView* playerWebView = views.playerWebView();
    if (playerWebView == nullptr) return;
    // The guid is the page's own text: escaped with the event name, it cannot become code.
    playerWebView->evaluateScriptAsync(responseScript(guid, value));
}

}  // namespace lirra
