// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LKeyableWindow.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#include "bridge/PageEvents.h"

namespace lirra {

LKeyableWindow::LKeyableWindow(Window& mainWindow, std::function<WebView*()> playerWebView)
    : mainWindow_(mainWindow), playerWebView_(std::move(playerWebView)) {}

bool LKeyableWindow::sendEvent(const InputEvent& event) {
    if (event.type == InputEvent::kLeftMouseDown && !(event.modifierFlags & kControlKeyMask) &&
        event.clickCount == 2) {
        return routeDoubleClick(event);
    }
    if (event.type == InputEvent::kKeyDown && event.keyCode == kEscapeKeyCode) {
        if (mainWindow_.isFullScreen()) mainWindow_.toggleFullScreen();
        return false;
    }
    return true;
}

bool LKeyableWindow::routeDoubleClick(const InputEvent& event) {
    WebView* page = playerWebView_ ? playerWebView_() : nullptr;
    const std::optional<double> top =
        page ? leadingNumber(page->evaluateScript(QString::fromLatin1(kNextSubOffsetQuery)))
             : std::nullopt;
    if (!top) return true;
    if (*top == 0) {
        mainWindow_.toggleFullScreen();
        return false;
    }
    // The frame height includes the title bar, so in a window the boundary lies that much
    // above the element's top; in full screen it is the element's top.
    const double limit = mainWindow_.frame().size.height - *top;
    if (event.locationInWindow.y > limit) {
        mainWindow_.toggleFullScreen();
        return false;
    }
    return true;
}

std::optional<double> LKeyableWindow::leadingNumber(const QString& text) {
    // Plain decimal numbers only (no hexadecimal, "inf" or "nan"), as the page reports offsets.
    static const QRegularExpression kLeading(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = kLeading.match(text);
    if (!match.hasMatch()) return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(match.captured(1), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace lirra
