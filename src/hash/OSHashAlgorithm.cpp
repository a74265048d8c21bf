// SPDX-License-Identifier: GPL-3.0-or-later
#include "OSHashAlgorithm.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QUrl>
#include <QtEndian>
#include <any>
#include <cerrno>
#include <memory>

namespace lirra {

namespace {

static_assert(sizeof(off_t) == 8, "files over 4 GiB need 64-bit offsets");

std::uint64_t sumOfWords(const QByteArray& block) {
    std::uint64_t sum = 0;
    const auto* bytes = reinterpret_cast<const uchar*>(block.constData());
    for (std::uint64_t offset = 0; offset < OSHashAlgorithm::kBlockSize; offset += 8) {
        sum += qFromLittleEndian<quint64>(bytes + offset);
    }
    return sum;
}

// Up to `length` bytes from `offset`; fewer only at the end of the file or on an error.
QByteArray readAt(int fd, std::uint64_t offset, std::uint64_t length) {
    QByteArray data(static_cast<qsizetype>(length), Qt::Uninitialized);
    std::uint64_t filled = 0;
    while (filled < length) {
        const ssize_t n =
            ::pread(fd, data.data() + filled, length - filled, static_cast<off_t>(offset + filled));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        filled += static_cast<std::uint64_t>(n);
    }
    data.truncate(static_cast<qsizetype>(filled));
    return data;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

UrlRequest rangeRequest(const QUrl& url, std::uint64_t first, std::uint64_t last) {
    UrlRequest request;
    request.url = url;
    request.timeoutSeconds = OSHashAlgorithm::kRemoteTimeoutSeconds;
    request.headers = {{"Range", QByteArray("bytes=") + QByteArray::number(quint64(first)) + '-' +
                                     QByteArray::number(quint64(last))},
                       // The hash is of the file's own bytes: a compressed answer would not be.
                       {"Accept-Encoding", "identity"}};
    // A server that ignores the range cannot make us download the whole video.
    request.maxResponseBytes = OSHashAlgorithm::kBlockSize;
    return request;
}

// A whole block, from a partial answer (206), or from a full answer (200) where that gives the
// same bytes. Whatever else arrived (an error page, a short or failed answer) is not a block.
bool holdsBlock(const UrlResponse& response, bool fullAnswerServes) {
    return response.error.isEmpty() &&
           std::uint64_t(response.body.size()) == OSHashAlgorithm::kBlockSize &&
           (response.statusCode == 206 || (response.statusCode == 200 && fullAnswerServes));
}

}  // namespace

OSHashAlgorithm::OSHashAlgorithm(NotificationCenter& center, HttpClient& httpClient)
    : center_(center), httpClient_(httpClient) {}

std::string OSHashAlgorithm::stringForHash(std::uint64_t hash) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[hash & 0xf]);
        hash >>= 4;
    } while (hash != 0);
    return text;
}

std::optional<VideoHash> OSHashAlgorithm::hashWithFileSize(std::uint64_t fileSize,
                                                           const QByteArray& beginData,
                                                           const QByteArray& endData) {
    if (std::uint64_t(beginData.size()) < kBlockSize ||
        std::uint64_t(endData.size()) < kBlockSize) {
        return std::nullopt;
    }
    return VideoHash{fileSize + sumOfWords(beginData) + sumOfWords(endData), fileSize};
}

void OSHashAlgorithm::computeHashWithFileSize(std::uint64_t fileSize, const QByteArray& beginData,
                                              const QByteArray& endData,
                                              std::uint64_t video) const {
    post(hashWithFileSize(fileSize, beginData, endData).value_or(VideoHash{}), video);
}

void OSHashAlgorithm::computeHashForPath(const QString& path, std::uint64_t video) const {
    // Non-blocking so that a FIFO or a device given as a path cannot stall the caller; anything
    // but a regular file is refused below.
    FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        std::uint64_t(status.st_size) < kBlockSize) {
        post(VideoHash{}, video);
        return;
    }
    const auto size = std::uint64_t(status.st_size);
    const QByteArray beginData = readAt(file.get(), 0, kBlockSize);
    const QByteArray endData = readAt(file.get(), size - kBlockSize, kBlockSize);
    computeHashWithFileSize(size, beginData, endData, video);
}

void OSHashAlgorithm::computeHashForURL(const QString& text, std::uint64_t video) const {
    // Each step is sent from the completion of the one before. An unusable URL fails in the HTTP
    // client on a later turn, so every outcome is posted after this call has returned.
    auto state = std::make_shared<RemoteHash>();
    state->url = QUrl(text, QUrl::StrictMode);
    state->video = video;
    UrlRequest head;
    head.url = state->url;
    head.method = "HEAD";
    head.timeoutSeconds = kRemoteTimeoutSeconds;
    head.headers = {{"Accept-Encoding", "identity"}};
    const OSHashAlgorithm algorithm = *this;
    httpClient_.sendAsynchronousRequest(head, [algorithm, state](const UrlResponse& response) {
        // An error page's length is not the video's; a missing length (-1) is no size at all.
        const bool success =
            response.error.isEmpty() && response.statusCode >= 200 && response.statusCode < 300;
        if (!success || response.expectedContentLength < qint64(kBlockSize)) {
            algorithm.post(VideoHash{}, state->video);
            return;
        }
        state->size = std::uint64_t(response.expectedContentLength);
        algorithm.fetchBlocks(state);
    });
}

void OSHashAlgorithm::fetchBlocks(std::shared_ptr<RemoteHash> state) const {
    const OSHashAlgorithm algorithm = *this;
    const UrlRequest first = rangeRequest(state->url, 0, kBlockSize - 1);
    httpClient_.sendAsynchronousRequest(first, [algorithm, state](const UrlResponse& response) {
        // A 200 answer starts at the file's first byte, so it serves as the first block too.
        if (!holdsBlock(response, response.statusCode == 200)) {
            algorithm.post(VideoHash{}, state->video);
            return;
        }
        state->beginData = response.body;
        const UrlRequest last = rangeRequest(state->url, state->size - kBlockSize, state->size - 1);
        algorithm.httpClient_.sendAsynchronousRequest(
            last, [algorithm, state](const UrlResponse& response) {
                // A 200 answer is the file's start, which is its end only for a 64 KiB file.
                if (!holdsBlock(response, state->size == kBlockSize)) {
                    algorithm.post(VideoHash{}, state->video);
                    return;
                }
                algorithm.computeHashWithFileSize(state->size, state->beginData, response.body,
                                                  state->video);
            });
    });
}

void OSHashAlgorithm::post(const VideoHash& hash, std::uint64_t video) const {
    center_.post(kHashComputedNotification, nullptr,
                 {{kHashUserInfoKey, std::any(hash)}, {kHashVideoUserInfoKey, std::any(video)}});
}

}  // namespace lirra
