// SPDX-License-Identifier: GPL-3.0-or-later
// What the lookup sends to "Player/GetSubtitlesToDownload" and what it takes from the answer.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/UrlConnection.h"

namespace lirra {

inline constexpr char kLookupPath[] = "Player/GetSubtitlesToDownload";
inline constexpr char kTargetLanguageCode[] = "eng";
inline constexpr double kLookupTimeoutSeconds = 120;

// The form text, fields in the service's order, every value form-encoded; UTF-8.
QByteArray lookupFormBody(std::uint64_t fileSize, const QString& movieHash, const QString& fileName,
                          const QString& nativeLanguageCode);

// The POST of that body to `baseUrl` + kLookupPath with its two headers and the 120 s time-out.
UrlRequest makeLookupRequest(const QString& baseUrl, const QByteArray& formBody);

// One subtitle the service wants fetched.
struct LookupEntry {
    QString subFileName;
    std::uint32_t subtitleId = 0;
    QString downloadUrl;
};

struct LookupAnswer {
    std::int64_t videoId = 0;                 // a 32-bit value widened with its sign
    std::vector<LookupEntry> subsToDownload;  // accepted entries, in the answer's order
};

// Reads an answer body, trusting nothing: a body that is not a JSON object gives videoId 0 and
// no entry; a "videoId" that is not an integer within 32 bits reads 0. An entry is accepted when
// it is an object whose "downloadUrl" is a non-empty string, whose "mustBeDownloaded" is true,
// whose "subFileName" is a string and whose "subtitleId" is an integer that fits 32 bits
// (negative ones wrap to unsigned, as a 32-bit read does); any other entry is skipped.
LookupAnswer readLookupAnswer(const QByteArray& body);

}  // namespace lirra
