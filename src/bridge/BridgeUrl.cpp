// SPDX-License-Identifier: GPL-3.0-or-later
#include "BridgeUrl.h"

#include <QStringList>

namespace lirra {

QStringList pathComponents(const QUrl& url) {
    // Split the encoded path first, so that an encoded "/" stays inside its component.
    const QString path = url.path(QUrl::FullyEncoded);
    QStringList components;
    if (!path.startsWith(QLatin1Char('/'))) {
        return components;
    }
    const QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& piece : pieces) {
        components.append(QUrl::fromPercentEncoding(piece.toUtf8()));
    }
    return components;
}

QString lastPathComponent(const QUrl& url) {
    const QStringList components = pathComponents(url);
    return components.isEmpty() ? QString() : components.last();
}

BridgeArguments argumentsFromQuery(const QString& encodedQuery) {
    BridgeArguments arguments;
    if (encodedQuery.isEmpty()) {
        return arguments;
    }
    const QStringList pieces = encodedQuery.split(QLatin1Char('&'), Qt::KeepEmptyParts);
    for (const QString& piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='), Qt::KeepEmptyParts);
        if (parts.size() == 2) {
            arguments.insert(parts[0], parts[1]);
        }
    }
    return arguments;
}

BridgeUrl BridgeUrl::fromUrl(const QUrl& url) {
    BridgeUrl bridgeUrl;
    const QStringList components = pathComponents(url);
    if (components.isEmpty()) {
        return bridgeUrl;
    }
    bridgeUrl.kind = components.first();
    bridgeUrl.name = components.last();
    // FullyEncoded keeps the escapes the page wrote for reserved characters (%26, %3D, %2B,
    // %25 ...). The web engine hands us an already parsed QUrl, which has turned escapes of
    // unreserved characters (%2E, %7E, letters, digits) into the characters themselves.
    bridgeUrl.arguments = argumentsFromQuery(url.query(QUrl::FullyEncoded));
    return bridgeUrl;
}

bool isBridgeUrl(const QUrl& url) { return url.scheme() == QLatin1String(kBridgeScheme); }

bool isRegistrationLink(const QUrl& url) {
    return lastPathComponent(url) == QLatin1String(kRegistrationLinkName);
}

bool isSameOrigin(const QUrl& url, const QUrl& service) {
    const int defaultPort = service.scheme() == QLatin1String("https") ? 443 : 80;
    return !service.host().isEmpty() && url.scheme() == service.scheme() &&
           url.host() == service.host() && url.port(defaultPort) == service.port(defaultPort);
}

}  // namespace lirra
