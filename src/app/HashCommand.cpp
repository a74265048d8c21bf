// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HashCommand.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <any>
#include <cstdio>
#include <optional>

#include "hash/OSHashAlgorithm.h"
#include "platform/NotificationCenter.h"

namespace lirra {

QString whyNoHash(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("no such file");
    if (info.isDir()) return QStringLiteral("not readable: it is a folder");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("not readable: ") + file.errorString();
    if (static_cast<std::uint64_t>(file.size()) < OSHashAlgorithm::kBlockSize) {
        return QStringLiteral("too small: %1 bytes, where a video has at least %2")
            .arg(file.size())
            .arg(OSHashAlgorithm::kBlockSize);
    }
    return QStringLiteral("not readable: a read failed");
}

int runHashCommand(const VideoLocation& location, HttpClient& client) {
    NotificationCenter center;
    QEventLoop loop;
    std::optional<VideoHash> result;
    const auto observer =
        center.addObserver(kHashComputedNotification, nullptr, [&](const Notification& note) {
            const auto found = note.userInfo.find(kHashUserInfoKey);
            const auto* hash =
                found == note.userInfo.end() ? nullptr : std::any_cast<VideoHash>(&found->second);
            result = hash ? *hash : VideoHash{};
            loop.quit();
        });

    const bool remote = location.isUrl();
    const OSHashAlgorithm algorithm(center, client);
    if (remote) {
        algorithm.computeHashForURL(location.text);
    } else {
        algorithm.computeHashForPath(location.text);
    }
    if (!result) loop.exec();  // a local hash has been posted already
    center.removeObserver(observer);

    if (result->isZero()) {
        const QByteArray shown = location.text.toLocal8Bit();
        const QString why =
            remote ? QStringLiteral(
                         "the server did not answer with its length and its first and last %1 "
                         "bytes")
                         .arg(OSHashAlgorithm::kBlockSize)
                   : whyNoHash(location.text);
        std::fprintf(stderr, "lirra: cannot hash %s: %s\n", shown.constData(),
                     why.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s %llu\n", OSHashAlgorithm::stringForHash(result->fileHash).c_str(),
                static_cast<unsigned long long>(result->fileSize));
    std::fflush(stdout);
    return 0;
}

}  // namespace lirra
