// SPDX-License-Identifier: GPL-3.0-or-later
// The "app" URL scheme that pages navigate to in order to talk to us, for every web profile.
#pragma once

#include <QString>
#include <functional>

class QObject;
class QUrl;
class QWebEngineUrlSchemeHandler;

namespace lirra {

inline constexpr char kAppUrlScheme[] = "app";

// Registers the "app" scheme with the web engine. Must run before the QApplication is made.
void registerAppUrlScheme();

// The scheme's handler. A profile needs one: without it the engine replaces navigations to the
// scheme with about:blank#blocked before anyone can decide them. It refuses every request but
// those of a view's channel (below).
QWebEngineUrlSchemeHandler* newAppSchemeHandler(QObject* parent);

// A view's own channel, quicker than a navigation: its page fetches the app:/// URL it would
// navigate to, with the channel's key as the Accept header, and the URL reaches `arrived` on the
// main thread. Returns the key, random, so that no other page can speak for the view.
QString openBridgeChannel(std::function<void(const QUrl&)> arrived);
void closeBridgeChannel(const QString& key);

}  // namespace lirra
