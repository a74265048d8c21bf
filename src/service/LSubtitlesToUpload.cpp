// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/LSubtitlesToUpload.h"

#include <memory>
#include <utility>

#include "platform/Log.h"
#include "service/Multipart.h"
#include "service/ServiceEnvironment.h"

namespace lirra {

std::vector<LSubtitlesToUpload> LSubtitlesToUpload::uploadQueue_;
bool LSubtitlesToUpload::uploadProcessed_ = false;
std::int32_t LSubtitlesToUpload::uploadStatusCode_ = -1;
bool LSubtitlesToUpload::uploadFailed_ = false;
std::uint64_t LSubtitlesToUpload::generation_ = 0;

// Forwards one upload's callbacks to the class while that upload is still the current one.
class LSubtitlesToUpload::ConnectionDelegate : public UrlConnectionDelegate {
  public:
    explicit ConnectionDelegate(std::uint64_t generation) : generation_(generation) {}

    void didReceiveResponse(int statusCode) override {
        if (current()) LSubtitlesToUpload::connectionDidReceiveResponse(statusCode);
    }
    void didReceiveData(const QByteArray&) override {}  // the answer's body is not read
    void didFinishLoading() override {
        if (current()) LSubtitlesToUpload::connectionDidFinishLoading();
    }
    void didFailWithError(const QString& error) override {
        if (current()) LSubtitlesToUpload::didFailWithError(error);
    }

    // Kept with the delegate, which the client holds until the exchange ends.
    std::shared_ptr<UrlConnection> connection;

  private:
    bool current() const { return generation_ == LSubtitlesToUpload::generation_; }
    std::uint64_t generation_;
};

LSubtitlesToUpload::LSubtitlesToUpload(QString fileName, std::uint32_t subsId, QByteArray fileData)
    : subsId_(subsId), fileName_(std::move(fileName)), fileData_(std::move(fileData)) {}

void LSubtitlesToUpload::addSubToUpload(LSubtitlesToUpload sub) {
    uploadQueue_.push_back(std::move(sub));
}

void LSubtitlesToUpload::uploadAllSubs() {
    uploadStatusCode_ = -1;
    uploadFailed_ = false;
    const ServiceEnvironment& environment = serviceEnvironment();
    if (environment.httpClient == nullptr) {
        // Nothing can be sent, but the video still plays, as after any failed upload.
        didFailWithError(QStringLiteral("no HTTP client installed"));
        return;
    }

    std::vector<MultipartFile> files;
    files.reserve(uploadQueue_.size());
    for (const LSubtitlesToUpload& sub : uploadQueue_)
        files.push_back({sub.subsId_, sub.fileName_, sub.fileData_});
    const QByteArray boundary = makeBoundary();

    UrlRequest request;
    request.url = QUrl(environment.baseUrl + QString::fromLatin1(kUploadPath));
    request.method = "POST";
    request.body = multipartBody(boundary, files);
    request.headers = {{"Content-Type", "multipart/form-data; boundary=" + boundary},
                       {"Content-Length", QByteArray::number(request.body.size())}};

    auto delegate = std::make_shared<ConnectionDelegate>(generation_);
    delegate->connection = environment.httpClient->startConnection(request, delegate);
}

void LSubtitlesToUpload::connectionDidReceiveResponse(int statusCode) {
    uploadStatusCode_ = statusCode;
}

void LSubtitlesToUpload::didFailWithError(const QString& error) {
    uploadFailed_ = true;
    logLine("Met an error uploading subtitles: " + error.toStdString());
    if (!uploadProcessed_) processResponse();
}

void LSubtitlesToUpload::connectionDidFinishLoading() {
    if (!uploadProcessed_) processResponse();
}

void LSubtitlesToUpload::processResponse() {
    uploadProcessed_ = true;
    if (uploadStatusCode_ == 200 && !uploadFailed_)
        logLine("Successfully uploaded all downloaded subtitles");
    else
        logLine("Failed to upload downloaded subtitles");
    resetUploader();
    postLaunchVideo();
}

void LSubtitlesToUpload::resetUploader() {
    uploadProcessed_ = false;
    uploadQueue_.clear();
    ++generation_;
}

}  // namespace lirra
