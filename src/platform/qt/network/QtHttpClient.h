// SPDX-License-Identifier: GPL-3.0-or-later
// HttpClient over one QNetworkAccessManager on the main event loop: every callback and completion
// arrives on the thread that made the client (the main thread), one at a time.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <set>

#include "platform/UrlConnection.h"

class QNetworkAccessManager;

namespace lirra {

class SharedCookieJar;

class QtHttpClient : public HttpClient {
  public:
    QtHttpClient();  // on the main thread, after the QCoreApplication
    // Stops every exchange under way; their delegates and completions are not called.
    ~QtHttpClient() override;

    QtHttpClient(const QtHttpClient&) = delete;
    QtHttpClient& operator=(const QtHttpClient&) = delete;

    // Every request to `origin` (scheme, host and port of the URL) carries the header `name`,
    // and follows redirects only within that origin: the header goes nowhere else.
    void setOriginHeader(const QUrl& origin, const QByteArray& name, const QByteArray& value);

    // The cookies every request carries and every answer sets; the client owns the jar.
    SharedCookieJar& cookieJar() const;

    std::shared_ptr<UrlConnection> startConnection(
        const UrlRequest& request, std::shared_ptr<UrlConnectionDelegate> delegate) override;
    void sendAsynchronousRequest(const UrlRequest& request,
                                 std::function<void(const UrlResponse&)> completion) override;

  private:
    class Exchange;
    std::shared_ptr<Exchange> begin(const UrlRequest& request,
                                    std::shared_ptr<UrlConnectionDelegate> delegate,
                                    std::function<void(qint64)> lengthObserver);

    struct OriginHeader {
        QUrl origin;
        QByteArray name, value;
    };
    std::optional<OriginHeader> originHeader_;
    std::unique_ptr<QNetworkAccessManager> manager_;
    // Exchanges under way, kept alive until they end whether or not the caller keeps its handle.
    std::set<std::shared_ptr<Exchange>> active_;
};

}  // namespace lirra
