// SPDX-License-Identifier: GPL-3.0-or-later
// The "app" URL scheme that pages navigate to in order to talk to us, for every web profile.
#pragma once

class QObject;
class QWebEngineUrlSchemeHandler;

namespace lirra {

inline constexpr char kAppUrlScheme[] = "app";

// Registers the "app" scheme with the web engine. Must run before the QApplication is made.
void registerAppUrlScheme();

// A handler for the scheme that refuses every request. A profile needs one: without it the
// engine replaces such navigations with about:blank#blocked before anyone can decide them.
QWebEngineUrlSchemeHandler* newAppSchemeHandler(QObject* parent);

}  // namespace lirra
