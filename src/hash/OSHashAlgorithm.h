// SPDX-License-Identifier: GPL-3.0-or-later
// The video hash: the size plus the little-endian 64-bit words of the first and the last 64 KiB,
// wrapping modulo 2^64 (the OpenSubtitles movie hash). At most 128 KiB of a video are read.
//
// Threads: every operation is called on the main thread, and "HashComputed" is posted there:
// synchronously inside computeHashForPath, and for a URL from the HTTP client's completions,
// which arrive on the main event loop. The remote exchanges never block the loop.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hash/VideoHash.h"
#include "platform/NotificationCenter.h"
#include "platform/UrlConnection.h"

namespace lirra {

// Posted once per computation, with no sender; user info "hash" holds a VideoHash (std::any)
// and "video" the std::uint64_t the computation was started for, so that the result of a video
// that has been replaced or cancelled meanwhile can be told from the current one's.
inline constexpr char kHashComputedNotification[] = "HashComputed";
inline constexpr char kHashUserInfoKey[] = "hash";
inline constexpr char kHashVideoUserInfoKey[] = "video";

class OSHashAlgorithm {
  public:
    static constexpr std::uint64_t kBlockSize = 65536;  // also the smallest video hashed
    static constexpr double kRemoteTimeoutSeconds = 10;

    // The algorithm keeps no state of its own: `center` receives the results and `httpClient`
    // carries the remote exchanges. Both must outlive every computation under way.
    OSHashAlgorithm(NotificationCenter& center, HttpClient& httpClient);

    // Lower-case hexadecimal without prefix or padding; 0 gives "0".
    static std::string stringForHash(std::uint64_t hash);

    // Reads the file on the calling thread and posts before returning. A file that cannot be
    // opened, is not a regular file, or is shorter than 64 KiB gives the zero result.
    void computeHashForPath(const QString& path, std::uint64_t video = 0) const;

    // Returns at once and posts on a later turn of the main loop, after a HEAD request and two
    // range requests, each sent once the one before has completed. Any failure, a missing or
    // too small length, or a short or unranged answer gives the zero result.
    void computeHashForURL(const QString& url, std::uint64_t video = 0) const;

    // Hashes and posts. A block of fewer than 64 KiB gives the zero result; only the first
    // 64 KiB of a longer block count.
    void computeHashWithFileSize(std::uint64_t fileSize, const QByteArray& beginData,
                                 const QByteArray& endData, std::uint64_t video = 0) const;

    // The computation alone: none when a block holds fewer than 64 KiB.
    static std::optional<VideoHash> hashWithFileSize(std::uint64_t fileSize,
                                                     const QByteArray& beginData,
                                                     const QByteArray& endData);

  private:
    // What one remote computation carries from one exchange to the next.
    struct RemoteHash {
        QUrl url;
        std::uint64_t video = 0;
        std::uint64_t size = 0;
        QByteArray beginData;
    };

    void fetchBlocks(std::shared_ptr<RemoteHash> state) const;
    void post(const VideoHash& hash, std::uint64_t video) const;

    NotificationCenter& center_;
    HttpClient& httpClient_;
};

}  // namespace lirra
