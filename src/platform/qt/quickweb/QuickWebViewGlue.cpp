// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickWebViewGlue.h"

#include <QQuickItem>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>

#include "BridgeTiming.h"
#include "FileDrops.h"
#include "MediaPermission.h"
#include "PageLoads.h"
#include "QuickWebView.h"
#include "platform/Log.h"

namespace lirra {

QStringList QuickWebViewGlue::chooseFiles() { return owner_.chooseFiles(); }

bool QuickWebViewGlue::grants(const QUrl& origin, bool microphoneOnly) const {
    return grantsMicrophone(owner_.loaded_, origin, microphoneOnly);
}

void QuickWebViewGlue::consoleMessage(bool error, const QString& message, int line,
                                      const QString& source) {
    logConsoleMessage(error, message, line, source);
}

void QuickWebViewGlue::evaluatedTimed(const QString& script) {
    logBridgeStamp("evaluated", script);
    owner_.readPageClock();
}

void QuickWebViewGlue::pageClockRead(double sentMicros, double pageMs) {
    // One round trip to the page brackets its reading: the page's clock stood at pageMs
    // somewhere between the two stamps.
    logBridgeStamp(
        "clock",
        QString::number(steadyMicros(), 'f', 1) + ' ' + QString::number(pageMs * 1000.0, 'f', 1),
        sentMicros);
}

bool QuickWebViewGlue::decide(const QUrl& url, bool isMainFrame) {
    const bool timed = bridgeTimingEnabled();
    if (timed) logBridgeStamp("asked", url.toString());
    const bool accepted = owner_.acceptNavigation(url, isMainFrame);
    if (timed) logBridgeStamp("decided", url.toString());
    return accepted;
}

void QuickWebViewGlue::onNavigationRequested(QWebEngineNavigationRequest* request) {
    if (!decide(request->url(), request->isMainFrame())) request->reject();
}

void QuickWebViewGlue::channelSent(const QUrl& url) { decide(url, false); }

void QuickWebViewGlue::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    owner_.onLoadingChanged(info);
}

void QuickWebViewGlue::watch(QObject& item) {
    item.removeEventFilter(this);
    item.installEventFilter(this);
    auto* quickItem = qobject_cast<QQuickItem*>(&item);
    if (!quickItem) return;
    // The engine's render item comes and goes with the page's render process.
    QObject::disconnect(quickItem, &QQuickItem::childrenChanged, this, nullptr);
    QObject::connect(quickItem, &QQuickItem::childrenChanged, this, [this, quickItem] {
        for (QQuickItem* child : quickItem->childItems()) watch(*child);
    });
    for (QQuickItem* child : quickItem->childItems()) watch(*child);
}

bool QuickWebViewGlue::eventFilter(QObject*, QEvent* event) {
    return handleFileDrop(
        *event, [this](const QStringList& names) { return owner_.acceptsDrop(names); },
        [this](const QStringList& names) { owner_.concludeDrop(names); });
}

}  // namespace lirra
