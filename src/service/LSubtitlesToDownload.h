// SPDX-License-Identifier: GPL-3.0-or-later
// The download queue: every subtitle file the lookup answer names, fetched all at once; each
// one that arrives is handed to the upload queue, and the upload starts after the last one.
// Class-level state, main thread only.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/UrlConnection.h"

namespace lirra {

// Each download is the delegate of its own connection; hold it by std::shared_ptr.
class LSubtitlesToDownload : public UrlConnectionDelegate,
                             public std::enable_shared_from_this<LSubtitlesToDownload> {
  public:
    // A subtitle file comes whole within this, whatever pace its host keeps.
    static constexpr double kDownloadDeadlineSeconds = 60;
    LSubtitlesToDownload(QString fileName, std::uint32_t subsId, QString downloadUrl);

    static void addSubToDownload(std::shared_ptr<LSubtitlesToDownload> sub);
    // Starts every queued download at once, or posts "LaunchVideo" when none is queued.
    static void downloadAllSubsAndPlay();
    // Drops the queue and the count. Downloads still running then belong to an earlier video:
    // their outcome is ignored (not uploaded, not counted, not logged).
    static void resetDownloader();

    // Sends the GET; a URL that is not an absolute http(s) URL, or no HTTP client, fails the
    // download at once.
    void download();
    // Hands a 200 answer to the upload queue, counts down, and starts the upload after the last.
    void processResponse();

    void didReceiveResponse(int statusCode) override;
    void didReceiveData(const QByteArray& piece) override;
    void didFinishLoading() override;
    void didFailWithError(const QString& error) override;

    static const std::vector<std::shared_ptr<LSubtitlesToDownload>>& downloadQueue() {
        return downloadQueue_;
    }
    static std::int32_t remainingDownloads() { return remainingDownloads_; }

  private:
    bool responseProcessed_ = false;
    std::uint32_t subsId_;
    std::int32_t requestResponseCode_ = -1;
    QString downloadUrl_;
    QString fileName_;
    std::optional<QByteArray> downloadedData_;
    // The exchange broke off: a 200 with part of a body is not a subtitle file.
    bool failed_ = false;
    std::uint64_t generation_ = 0;
    std::shared_ptr<UrlConnection> connection_;

    static std::vector<std::shared_ptr<LSubtitlesToDownload>> downloadQueue_;
    static std::int32_t remainingDownloads_;
    // Bumped by resetDownloader; a download started under an older value is stale.
    static std::uint64_t currentGeneration_;
};

}  // namespace lirra
