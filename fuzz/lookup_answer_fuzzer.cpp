// SPDX-License-Identifier: GPL-3.0-or-later
// The lookup answer reader on any body: what it accepts must obey its rules, and an answer
// written back as JSON must read back the same.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

#include "FuzzCheck.h"
#include "service/LookupProtocol.h"

namespace lirra::fuzz {
namespace {

QByteArray written(const LookupAnswer& answer) {
    QJsonArray subs;
    for (const LookupEntry& entry : answer.subsToDownload) {
        subs.append(QJsonObject{{QStringLiteral("subFileName"), entry.subFileName},
                                {QStringLiteral("subtitleId"), double(entry.subtitleId)},
                                {QStringLiteral("downloadUrl"), entry.downloadUrl},
                                {QStringLiteral("mustBeDownloaded"), true}});
    }
    const QJsonObject top{{QStringLiteral("videoId"), double(answer.videoId)},
                          {QStringLiteral("subsToDownload"), subs}};
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

void checkSame(const LookupAnswer& a, const LookupAnswer& b) {
    FUZZ_CHECK(a.videoId == b.videoId, "videoId differs after writing back");
    FUZZ_CHECK(a.subsToDownload.size() == b.subsToDownload.size(), "entry count differs");
    for (std::size_t i = 0; i < a.subsToDownload.size(); ++i) {
        const LookupEntry &x = a.subsToDownload[i], &y = b.subsToDownload[i];
        FUZZ_CHECK(x.subFileName == y.subFileName && x.subtitleId == y.subtitleId &&
                       x.downloadUrl == y.downloadUrl,
                   "an entry differs after writing back");
    }
}

}  // namespace
}  // namespace lirra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const LookupAnswer answer = readLookupAnswer(body);
    FUZZ_CHECK(answer.videoId >= std::numeric_limits<std::int32_t>::min() &&
                   answer.videoId <= std::numeric_limits<std::int32_t>::max(),
               "videoId beyond 32 bits");
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject()) {
        FUZZ_CHECK(answer.videoId == 0 && answer.subsToDownload.empty(),
                   "a body that is not a JSON object gave an answer");
        return 0;
    }
    const QJsonValue subs = document.object().value(QStringLiteral("subsToDownload"));
    FUZZ_CHECK(answer.subsToDownload.size() <= static_cast<std::size_t>(subs.toArray().size()),
               "more entries than the answer has");
    for (const LookupEntry& entry : answer.subsToDownload) {
        FUZZ_CHECK(!entry.downloadUrl.isEmpty(), "an entry without a download URL");
    }
    checkSame(answer, readLookupAnswer(written(answer)));
    return 0;
}
