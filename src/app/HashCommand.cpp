#include "app/HashCommand.h"

#include <QEventLoop>
#include <any>
#include <cstdio>
#include <optional>

#include "hash/OSHashAlgorithm.h"
#include "platform/NotificationCenter.h"

namespace lirra {

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
        if (remote) {
            std::fprintf(stderr,
                         "lirra: cannot hash %s: the server did not answer with its length and "
                         "its first and last 65536 bytes\n",
                         shown.constData());
        } else {
            std::fprintf(stderr,
                         "lirra: cannot hash %s: not a readable file of at least 65536 bytes\n",
                         shown.constData());
        }
        return 1;
    }
    std::printf("%s %llu\n", OSHashAlgorithm::stringForHash(result->fileHash).c_str(),
                static_cast<unsigned long long>(result->fileSize));
    std::fflush(stdout);
    return 0;
}

}  // namespace lirra
