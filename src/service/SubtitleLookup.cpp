// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SubtitleLookup.h"

#include <QUrl>
#include <any>
#include <utility>

#include "hash/OSHashAlgorithm.h"
#include "hash/VideoHash.h"
#include "platform/Log.h"
#include "service/LSubtitlesToDownload.h"
#include "service/LSubtitlesToUpload.h"
#include "service/LookupProtocol.h"
#include "service/ServiceEnvironment.h"

namespace lirra {

// Forwards one lookup's callbacks while that lookup is the current one; a newer lookup or the
// end of the owner detaches it.
class SubtitleLookup::ConnectionDelegate : public UrlConnectionDelegate {
  public:
    explicit ConnectionDelegate(SubtitleLookup* owner) : owner_(owner) {}
    void detach() { owner_ = nullptr; }

    void didReceiveResponse(int statusCode) override {
        if (owner_) owner_->connectionDidReceiveResponse(statusCode);
    }
    void didReceiveData(const QByteArray& piece) override {
        if (owner_) owner_->didReceiveData(piece);
    }
    void didFinishLoading() override {
        if (SubtitleLookup* owner = finish()) owner->connectionDidFinishLoading();
    }
    void didFailWithError(const QString& error) override {
        if (SubtitleLookup* owner = finish()) owner->didFailWithError(error);
    }

  private:
    // The lookup has ended: the owner forgets it before handling the outcome, which may start
    // everything that follows.
    SubtitleLookup* finish() {
        SubtitleLookup* owner = std::exchange(owner_, nullptr);
        if (owner) {
            owner->lookupDelegate_.reset();
            owner->lookupConnection_.reset();
        }
        return owner;
    }

    SubtitleLookup* owner_;
};

SubtitleLookup::SubtitleLookup(AppState& state, const AppConfig& config, HttpClient& http,
                               Application& application, Screens& screens,
                               const UserDefaults& defaults, MainThread& mainThread,
                               NotificationCenter& notifications)
    : state_(state),
      config_(config),
      http_(http),
      application_(application),
      screens_(screens),
      defaults_(defaults),
      mainThread_(mainThread),
      notifications_(notifications) {}

SubtitleLookup::~SubtitleLookup() {
    *alive_ = false;
    if (lookupDelegate_) lookupDelegate_->detach();
    if (lookupConnection_) lookupConnection_->cancel();
    // The queues must not reach a client or a center that may go with us.
    if (serviceEnvironment().httpClient == &http_) installServiceEnvironment({});
}

void SubtitleLookup::onHashComputed(const Notification& notification) {
    VideoHash hash;  // a notification without a hash counts as the zero result
    const auto found = notification.userInfo.find(kHashUserInfoKey);
    if (found != notification.userInfo.end()) {
        if (const auto* value = std::any_cast<VideoHash>(&found->second)) hash = *value;
    }
    std::optional<std::uint64_t> video;  // none: the current video's
    const auto tag = notification.userInfo.find(kHashVideoUserInfoKey);
    if (tag != notification.userInfo.end()) {
        if (const auto* value = std::any_cast<std::uint64_t>(&tag->second)) video = *value;
    }
    if (!mainThread_.isCurrent()) {
        // The application state is the main thread's alone.
        std::weak_ptr<bool> alive = alive_;
        mainThread_.post([this, alive, hash, video] {
            if (auto living = alive.lock(); living && *living) lookUpIfCurrent(hash, video);
        });
        return;
    }
    lookUpIfCurrent(hash, video);
}

void SubtitleLookup::lookUpIfCurrent(const VideoHash& hash, std::optional<std::uint64_t> video) {
    // A remote hash takes seconds: another video may have been taken in, or this one
    // cancelled, meanwhile. Its size and hash must not go out under the current video's name.
    if (video && *video != state_.currentVideo) {
        logLine("A hash of an earlier video is dropped");
        return;
    }
    startLookup(hash);
}

void SubtitleLookup::abandonPreviousVideo() {
    if (lookupDelegate_) lookupDelegate_->detach();
    if (lookupConnection_) lookupConnection_->cancel();
    lookupDelegate_.reset();
    lookupConnection_.reset();
    LSubtitlesToDownload::resetDownloader();
    LSubtitlesToUpload::resetUploader();
}

void SubtitleLookup::startLookup(const VideoHash& hash) {
    abandonPreviousVideo();
    installServiceEnvironment({&http_, &notifications_, config_.baseUrl});
    state_.lookupResponseData.reset();
    state_.lookupStatusCode = 0;

    state_.videoFileName = chooseVideoFileName();
    const QByteArray body = lookupFormBody(
        hash.fileSize, QString::fromStdString(OSHashAlgorithm::stringForHash(hash.fileHash)),
        state_.videoFileName, state_.nativeLanguageCode);

    lookupDelegate_ = std::make_shared<ConnectionDelegate>(this);
    lookupConnection_ =
        http_.startConnection(makeLookupRequest(config_.baseUrl, body), lookupDelegate_);
}

QString SubtitleLookup::chooseVideoFileName() const {
    const VideoLocation& video = state_.videoLocation;
    if (!video.isUrl()) return lastPathComponent(video.text);
    if (const auto name = defaults_.stringForKey(kFileNameDefaultsKey))
        return QString::fromStdString(*name);
    // Nothing configured: the name the URL itself gives is the best guess.
    return QUrl(video.text).fileName(QUrl::FullyDecoded);
}

void SubtitleLookup::connectionDidReceiveResponse(int statusCode) {
    state_.lookupStatusCode = statusCode;
}

void SubtitleLookup::didReceiveData(const QByteArray& piece) {
    if (!state_.lookupResponseData) state_.lookupResponseData.emplace();
    state_.lookupResponseData->append(piece);
}

void SubtitleLookup::didFailWithError(const QString& error) {
    // Unreachable: the learner (or whoever helps) needs the address that was tried.
    alertVideoProcessingError(
        QStringLiteral("The Lirra service at %1 did not answer (%2).").arg(config_.baseUrl, error));
}

void SubtitleLookup::connectionDidFinishLoading() {
    if (state_.lookupStatusCode != 200) {
        alertVideoProcessingError();
        return;
    }
    const LookupAnswer answer = readLookupAnswer(state_.lookupResponseData.value_or(QByteArray()));
    state_.videoId = answer.videoId;
    for (const LookupEntry& entry : answer.subsToDownload) {
        LSubtitlesToDownload::addSubToDownload(std::make_shared<LSubtitlesToDownload>(
            entry.subFileName, entry.subtitleId, entry.downloadUrl));
    }
    LSubtitlesToDownload::downloadAllSubsAndPlay();
}

void SubtitleLookup::alertVideoProcessingError(const QString& detail) {
    AlertSpec alert;
    alert.style = AlertStyle::kWarning;
    alert.messageText = QStringLiteral("Something went wrong.");
    alert.informativeText =
        QStringLiteral("We couldn't find subtitles for your video. Please try again later!");
    if (!detail.isEmpty()) alert.informativeText += QLatin1Char(' ') + detail;
    alert.buttons = {QStringLiteral("OK")};
    application_.runModalAlert(alert);
    screens_.loadHomeScreen();
}

QString lastPathComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == u'/') --end;
    if (end == 1 && path[0] == u'/') return QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(u'/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

}  // namespace lirra
