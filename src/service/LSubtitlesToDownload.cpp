// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LSubtitlesToDownload.h"

#include <QUrl>
#include <utility>

#include "platform/Log.h"
#include "service/LSubtitlesToUpload.h"
#include "service/ServiceEnvironment.h"

namespace lirra {

std::vector<std::shared_ptr<LSubtitlesToDownload>> LSubtitlesToDownload::downloadQueue_;
std::int32_t LSubtitlesToDownload::remainingDownloads_ = 0;
std::uint64_t LSubtitlesToDownload::currentGeneration_ = 0;

namespace {

bool fetchable(const QUrl& url) {
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") &&
           !url.host().isEmpty();
}

}  // namespace

LSubtitlesToDownload::LSubtitlesToDownload(QString fileName, std::uint32_t subsId,
                                           QString downloadUrl)
    : subsId_(subsId), downloadUrl_(std::move(downloadUrl)), fileName_(std::move(fileName)) {}

void LSubtitlesToDownload::addSubToDownload(std::shared_ptr<LSubtitlesToDownload> sub) {
    if (sub) downloadQueue_.push_back(std::move(sub));
}

void LSubtitlesToDownload::downloadAllSubsAndPlay() {
    remainingDownloads_ = static_cast<std::int32_t>(downloadQueue_.size());
    logLine("Done analyzing video: found " + std::to_string(remainingDownloads_) +
            " subtitles to download");
    if (remainingDownloads_ == 0) {
        postLaunchVideo();
        return;
    }
    // A copy: a download that fails at once may, as the last one, reset the queue.
    const auto queue = downloadQueue_;
    for (const auto& sub : queue) sub->download();
}

void LSubtitlesToDownload::resetDownloader() {
    downloadQueue_.clear();
    remainingDownloads_ = 0;
    ++currentGeneration_;
}

void LSubtitlesToDownload::download() {
    requestResponseCode_ = -1;
    generation_ = currentGeneration_;
    const QUrl url(downloadUrl_, QUrl::StrictMode);
    HttpClient* client = serviceEnvironment().httpClient;
    if (!fetchable(url) || client == nullptr) {
        failed_ = true;
        processResponse();
        return;
    }
    UrlRequest request;
    request.url = url;
    request.method = "GET";
    // A host that drips its file a byte at a time must not hold the video back for ever.
    request.deadlineSeconds = kDownloadDeadlineSeconds;
    connection_ = client->startConnection(request, shared_from_this());
}

void LSubtitlesToDownload::processResponse() {
    responseProcessed_ = true;
    if (generation_ != currentGeneration_) {  // an earlier video's download
        downloadedData_.reset();
        return;
    }

    if (requestResponseCode_ == 200 && !failed_)
        LSubtitlesToUpload::addSubToUpload(
            LSubtitlesToUpload(fileName_, subsId_, downloadedData_.value_or(QByteArray())));
    downloadedData_.reset();  // the upload queue holds the bytes now
    --remainingDownloads_;
    logLine("Finished downloading subtitles at " + downloadUrl_.toStdString() +
            " - Remaining: " + std::to_string(remainingDownloads_) + " subs");
    if (remainingDownloads_ == 0) {
        resetDownloader();
        LSubtitlesToUpload::uploadAllSubs();
    }
}

void LSubtitlesToDownload::didReceiveResponse(int statusCode) { requestResponseCode_ = statusCode; }

void LSubtitlesToDownload::didReceiveData(const QByteArray& piece) {
    if (!downloadedData_) downloadedData_.emplace();
    downloadedData_->append(piece);
}

void LSubtitlesToDownload::didFinishLoading() {
    if (!responseProcessed_) processResponse();
}

void LSubtitlesToDownload::didFailWithError(const QString&) {
    failed_ = true;
    if (!responseProcessed_) processResponse();
}

}  // namespace lirra
