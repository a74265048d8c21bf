// SPDX-License-Identifier: GPL-3.0-or-later
// The cookies of the app's own requests, kept in step with the pages' (the web profile's): a
// session the home page signed in to goes with the lookup and the upload, and a cookie an answer
// to the app sets reaches the pages.
#pragma once

#include <QNetworkCookieJar>
#include <functional>

namespace lirra {

class SharedCookieJar : public QNetworkCookieJar {
  public:
    using Observer = std::function<void(const QNetworkCookie&, const QUrl&)>;

    // Told of each cookie an answer set, after the jar took it.
    void setReceivedObserver(Observer observer) { received_ = std::move(observer); }

    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) override;

  private:
    Observer received_;
};

}  // namespace lirra
