// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LookupProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>
#include <cmath>
#include <limits>
#include <optional>

#include "service/FormEncoding.h"

namespace lirra {

namespace {

// A JSON number that is a whole number within [low, high]; anything else is none.
std::optional<std::int64_t> wholeNumber(const QJsonValue& value, double low, double high) {
    if (!value.isDouble()) return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < low || number > high)
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

std::optional<LookupEntry> acceptedEntry(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject entry = value.toObject();
    const QJsonValue url = entry.value(QStringLiteral("downloadUrl"));
    if (!url.isString() || url.toString().isEmpty()) return std::nullopt;
    if (entry.value(QStringLiteral("mustBeDownloaded")) != QJsonValue(true)) return std::nullopt;
    const QJsonValue name = entry.value(QStringLiteral("subFileName"));
    if (!name.isString()) return std::nullopt;
    const auto id = wholeNumber(entry.value(QStringLiteral("subtitleId")),
                                std::numeric_limits<std::int32_t>::min(),
                                std::numeric_limits<std::uint32_t>::max());
    if (!id) return std::nullopt;
    return LookupEntry{name.toString(), static_cast<std::uint32_t>(*id), url.toString()};
}

}  // namespace

QByteArray lookupFormBody(std::uint64_t fileSize, const QString& movieHash, const QString& fileName,
                          const QString& nativeLanguageCode) {
    QByteArray body = "fileSize=" + QByteArray::number(static_cast<qulonglong>(fileSize));
    body += "&movieHash=" + formUrlEncode(movieHash);
    body += "&fileName=" + formUrlEncode(fileName);
    body += "&targetLanguageCode=" + formUrlEncode(QString::fromLatin1(kTargetLanguageCode));
    body += "&nativeLanguageCode=" + formUrlEncode(nativeLanguageCode);
    return body;
}

UrlRequest makeLookupRequest(const QString& baseUrl, const QByteArray& formBody) {
    UrlRequest request;
    request.url = QUrl(baseUrl + QString::fromLatin1(kLookupPath));
    request.method = "POST";
    request.cachePolicy = 0;
    request.timeoutSeconds = kLookupTimeoutSeconds;
    request.headers = {{"Content-type", "application/x-www-form-urlencoded"},
                       {"Content-length", QByteArray::number(formBody.size())}};
    request.body = formBody;
    return request;
}

LookupAnswer readLookupAnswer(const QByteArray& body) {
    LookupAnswer answer;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return answer;
    const QJsonObject top = document.object();
    answer.videoId =
        wholeNumber(top.value(QStringLiteral("videoId")), std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::int32_t>::max())
            .value_or(0);
    const QJsonValue subs = top.value(QStringLiteral("subsToDownload"));
    if (!subs.isArray()) return answer;
    for (const QJsonValue& value : subs.toArray()) {
        if (auto entry = acceptedEntry(value)) answer.subsToDownload.push_back(std::move(*entry));
    }
    return answer;
}

}  // namespace lirra
