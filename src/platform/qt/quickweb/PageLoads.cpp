// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageLoads.h"

#include <QDateTime>
#include <algorithm>
#include <memory>
#include <optional>

#include "platform/Log.h"
#include "platform/WebView.h"

namespace lirra {

namespace {

// How long a refused main-frame navigation may take to show up as a load start.
constexpr qint64 kRefusedNavigationWindowMs = 5000;

}  // namespace

void RefusedNavigations::refused(const QUrl& url) {
    refused_.push_back(Refused{url, QDateTime::currentMSecsSinceEpoch()});
}

bool RefusedNavigations::loadStarted(const QUrl& url) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::erase_if(refused_,
                  [now](const Refused& r) { return now - r.atMs > kRefusedNavigationWindowMs; });
    loadRefused_ = std::any_of(refused_.begin(), refused_.end(),
                               [&](const Refused& r) { return r.url == url; });
    return !loadRefused_;
}

bool RefusedNavigations::loadEnded() {
    refused_.clear();
    const bool wasRefused = loadRefused_;
    loadRefused_ = false;
    return !wasRefused;
}

void logConsoleMessage(bool error, const QString& message, int line, const QString& source) {
    if (error) {
        logLine(QStringLiteral("JavaScript error: %1 (%2:%3)")
                    .arg(message, source)
                    .arg(line)
                    .toStdString());
    } else if (traceEnabled()) {
        traceLine(QStringLiteral("JavaScript console: %1 (%2:%3)")
                      .arg(message, source)
                      .arg(line)
                      .toStdString());
    }
}

QStringList chooseFilesFor(WebView& view, WebUIDelegate* delegate) {
    if (!delegate) return {};
    auto chosen = std::make_shared<std::optional<QStringList>>();
    delegate->runOpenPanelForFileButton(view,
                                        [chosen](const QStringList& paths) { *chosen = paths; });
    return chosen->value_or(QStringList());
}

}  // namespace lirra
