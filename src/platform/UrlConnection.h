// SPDX-License-Identifier: GPL-3.0-or-later
// HTTP exchanges as the controllers see them. Every callback and completion arrives on the
// main thread's event loop, one at a time.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace lirra {

struct UrlRequest {
    QUrl url;
    QByteArray method = "GET";
    std::vector<std::pair<QByteArray, QByteArray>> headers;  // sent as given, in order
    QByteArray body;
    int cachePolicy = 0;         // 0: the protocol's own caching rules
    double timeoutSeconds = 60;  // silence: nothing waits forever
    double deadlineSeconds = 0;  // the whole exchange, however it trickles; 0: no bound
    qint64 maxResponseBytes = 20 * 1024 * 1024;  // a larger body fails the exchange
};

class UrlConnectionDelegate {
  public:
    virtual ~UrlConnectionDelegate() = default;
    virtual void didReceiveResponse(int statusCode) = 0;
    virtual void didReceiveData(const QByteArray& piece) = 0;  // possibly several times
    virtual void didFinishLoading() = 0;
    virtual void didFailWithError(const QString& error) = 0;  // instead of didFinishLoading
};

// The outcome of a completion-style exchange.
struct UrlResponse {
    int statusCode = -1;                // -1: no response at all
    qint64 expectedContentLength = -1;  // -1: the response announced no length
    QByteArray body;
    QString error;  // empty on success
};

class UrlConnection {
  public:
    virtual ~UrlConnection() = default;
    // Stops the exchange; no further callback arrives.
    virtual void cancel() = 0;
};

class HttpClient {
  public:
    virtual ~HttpClient() = default;

    // Starts at once. The client keeps `delegate` alive until didFinishLoading or
    // didFailWithError has been called (exactly one of them is). A request that cannot start
    // (invalid URL, unsupported scheme) fails on a later turn of the loop, never inside this call.
    virtual std::shared_ptr<UrlConnection> startConnection(
        const UrlRequest& request, std::shared_ptr<UrlConnectionDelegate> delegate) = 0;

    // Runs `completion` once with the whole answer (or the failure).
    virtual void sendAsynchronousRequest(const UrlRequest& request,
                                         std::function<void(const UrlResponse&)> completion) = 0;
};

}  // namespace lirra
