// SPDX-License-Identifier: GPL-3.0-or-later
// How the pages address the native side: a navigation to app:///Kind/.../Name?arguments.
// The query is read as the pages wrote it; nothing in it is decoded.
#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

#include "BridgeNames.h"

namespace lirra {

// Argument name to value, both still percent-encoded.
using BridgeArguments = QMap<QString, QString>;

// The path components of a URL after its root "/", decoded one by one; empty components (a
// doubled or trailing "/") are skipped. A path without a root gives none.
QStringList pathComponents(const QUrl& url);
// The last of pathComponents, or "" when there is none.
QString lastPathComponent(const QUrl& url);

// The query split on "&" into pieces; a piece with exactly one "=" is an entry (a later name
// replaces an earlier one), any other piece is dropped. Works on the encoded query text.
BridgeArguments argumentsFromQuery(const QString& encodedQuery);

struct BridgeUrl {
    QString kind;  // the first path component: "Execute", "Request" or anything else
    QString name;  // the last path component (the same as kind when there is only one)
    BridgeArguments arguments;

    // The reading of a URL whose scheme is "app". A URL without path components gives an
    // empty kind, which matches nothing.
    static BridgeUrl fromUrl(const QUrl& url);
};

// Whether the navigation goes to the bridge (the scheme compared exactly).
bool isBridgeUrl(const QUrl& url);
// Whether the navigation is the pages' link to the registration page, whatever its scheme.
bool isRegistrationLink(const QUrl& url);
// Whether `url` is of the service's own origin (scheme, host and port).
bool isSameOrigin(const QUrl& url, const QUrl& service);

}  // namespace lirra
