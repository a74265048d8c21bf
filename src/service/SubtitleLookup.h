// SPDX-License-Identifier: GPL-3.0-or-later
// The lookup half of the application controller: from "HashComputed" to the service's answer,
// which fills the download queue (or leads to an alert and back to the home screen).
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/Application.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/UrlConnection.h"
#include "platform/UserDefaults.h"
#include "state/AppConfig.h"
#include "state/AppState.h"
#include "state/Screens.h"

namespace lirra {

struct VideoHash;

inline constexpr char kFileNameDefaultsKey[] = "file-name";

class SubtitleLookup {
  public:
    // Every reference must outlive this object. Made and used on the main thread.
    SubtitleLookup(AppState& state, const AppConfig& config, HttpClient& http,
                   Application& application, Screens& screens, const UserDefaults& defaults,
                   MainThread& mainThread, NotificationCenter& notifications);
    ~SubtitleLookup();
    SubtitleLookup(const SubtitleLookup&) = delete;
    SubtitleLookup& operator=(const SubtitleLookup&) = delete;

    // The "HashComputed" handler; callable from any thread: off the main thread it only hands
    // the hash over to the main thread.
    void onHashComputed(const Notification& notification);

    // The lookup connection's callbacks.
    void connectionDidReceiveResponse(int statusCode);
    void didReceiveData(const QByteArray& piece);
    void didFailWithError(const QString& error);
    void connectionDidFinishLoading();

    // The lookup failed: a modal alert, then the home screen. `detail`, when given, follows the
    // alert's fixed text.
    void alertVideoProcessingError(const QString& detail = {});

    // Leaves behind what an earlier video may still have running: its lookup is cancelled, and
    // its downloads and upload, reset, can no longer reach the queues nor post "LaunchVideo".
    // Every lookup does this first; the controller may also call it when a new video enters.
    void abandonPreviousVideo();

  private:
    class ConnectionDelegate;

    // Drops the hash of a video (`video`, none: the current one) that is no longer current.
    void lookUpIfCurrent(const VideoHash& hash, std::optional<std::uint64_t> video);
    void startLookup(const VideoHash& hash);
    QString chooseVideoFileName() const;

    AppState& state_;
    const AppConfig& config_;
    HttpClient& http_;
    Application& application_;
    Screens& screens_;
    const UserDefaults& defaults_;
    MainThread& mainThread_;
    NotificationCenter& notifications_;

    std::shared_ptr<ConnectionDelegate> lookupDelegate_;
    std::shared_ptr<UrlConnection> lookupConnection_;
    // Tasks posted to the main thread check this so they never run on a destroyed lookup.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The last path component of a file path ("/a/My Film.mkv" gives "My Film.mkv"; trailing
// slashes are ignored; "/" gives "/").
QString lastPathComponent(const QString& path);

}  // namespace lirra
