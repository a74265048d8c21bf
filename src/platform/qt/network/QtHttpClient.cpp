// SPDX-License-Identifier: GPL-3.0-or-later
// One Exchange per request. It ends exactly once: finished, failed or cancelled; after that it
// has released its reply, its timer and its delegate, and no further callback can arrive. Every
// entry point holds a strong reference to itself because ending drops the client's reference
// and a delegate may cancel or start exchanges from inside a callback.
#include "QtHttpClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "SharedCookieJar.h"

namespace lirra {

namespace {

constexpr double kDefaultTimeoutSeconds = 60;
constexpr int kMaxRedirects = 10;

// NSURLRequest-style cache policy numbers onto Qt's: 1 and 4 reload, 2 prefers the cache,
// 3 uses only the cache, anything else follows the protocol's rules.
QNetworkRequest::CacheLoadControl cacheLoadControl(int policy) {
    switch (policy) {
        case 1:
        case 4:
            return QNetworkRequest::AlwaysNetwork;
        case 2:
            return QNetworkRequest::PreferCache;
        case 3:
            return QNetworkRequest::AlwaysCache;
        default:
            return QNetworkRequest::PreferNetwork;
    }
}

int timeoutMilliseconds(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) seconds = kDefaultTimeoutSeconds;
    const double ms = std::ceil(seconds * 1000);
    return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(ms);
}

bool isToken(const QByteArray& text) {
    if (text.isEmpty()) return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 32 && u < 127 && !std::strchr("()<>@,;:\\\"/[]?={}", c);
    });
}

bool isHeaderValue(const QByteArray& text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

// Why a request cannot be sent, or empty when it can.
QString rejectionOf(const UrlRequest& request) {
    const QUrl& url = request.url;
    if (!url.isValid() || url.host().isEmpty()) {
        return QStringLiteral("Invalid URL: %1").arg(url.toString());
    }
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return QStringLiteral("Unsupported URL scheme: %1").arg(url.scheme());
    }
    if (!isToken(request.method)) return QStringLiteral("Invalid HTTP method");
    for (const auto& [name, value] : request.headers) {
        if (!isToken(name) || !isHeaderValue(value)) {
            return QStringLiteral("Invalid header: %1").arg(QString::fromLatin1(name));
        }
    }
    return {};
}

// An HTTP error status still is a response: the exchange finishes and the caller reads the
// status. Transport errors (refused, reset, truncated, time-out) fail it.
bool isHttpStatusError(QNetworkReply::NetworkError error) {
    const int code = error;
    if (error == QNetworkReply::ContentReSendError) return false;
    return (code >= 201 && code <= 299) || error == QNetworkReply::ProtocolInvalidOperationError ||
           (code >= 401 && code <= 499);
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    const int defaultPort = a.scheme() == QLatin1String("https") ? 443 : 80;
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort) == b.port(defaultPort);
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

class QtHttpClient::Exchange : public UrlConnection, public std::enable_shared_from_this<Exchange> {
  public:
    Exchange(QtHttpClient& client, const UrlRequest& request,
             std::shared_ptr<UrlConnectionDelegate> delegate,
             std::function<void(qint64)> lengthObserver)
        : client_(&client),
          request_(request),
          delegate_(std::move(delegate)),
          lengthObserver_(std::move(lengthObserver)) {}

    ~Exchange() override { release(); }

    void start() {
        const QString rejection = rejectionOf(request_);
        if (!rejection.isEmpty()) {
            // Never inside the start call: the caller may not be ready for a callback yet.
            QTimer::singleShot(0, client_->manager_.get(),
                               [self = shared_from_this(), rejection] { self->fail(rejection); });
            return;
        }
        QNetworkRequest request(request_.url);
        for (const auto& [name, value] : request_.headers) request.setRawHeader(name, value);
        // Qt 6.4 cuts brotli answers off at 4 MiB without an error; our bodies are small, so ask
        // for them as they are unless the caller chose an encoding.
        if (!request.hasRawHeader("Accept-Encoding"))
            request.setRawHeader("Accept-Encoding", "identity");
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             cacheLoadControl(request_.cachePolicy));
        // Only safe methods follow redirects; a POST would otherwise lose or resend its body.
        followsRedirects_ = request_.method == "GET" || request_.method == "HEAD";
        const auto& own = client_->originHeader_;
        const bool carriesHeader = own && sameOrigin(request_.url, own->origin);
        if (carriesHeader) request.setRawHeader(own->name, own->value);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             !followsRedirects_ ? QNetworkRequest::ManualRedirectPolicy
                             : carriesHeader    ? QNetworkRequest::SameOriginRedirectPolicy
                                                : QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(kMaxRedirects);

        QNetworkAccessManager& manager = *client_->manager_;
        if (request_.method == "GET" && request_.body.isEmpty()) {
            reply_ = manager.get(request);
        } else if (request_.method == "HEAD") {
            reply_ = manager.head(request);
        } else {
            reply_ = manager.sendCustomRequest(request, request_.method, request_.body);
        }

        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        timer_->setInterval(timeoutMilliseconds(request_.timeoutSeconds));
        connections_ = {
            QObject::connect(timer_.get(), &QTimer::timeout, reply_,
                             [this] { guarded([this] { fail("The request timed out."); }); }),
            QObject::connect(reply_, &QNetworkReply::metaDataChanged, reply_,
                             [this] { guarded([this] { onMetaData(); }); }),
            QObject::connect(reply_, &QNetworkReply::readyRead, reply_,
                             [this] { guarded([this] { onReadyRead(); }); }),
            QObject::connect(reply_, &QNetworkReply::finished, reply_,
                             [this] { guarded([this] { onFinished(); }); }),
            // Any progress restarts the time-out: it bounds silence; the deadline bounds the whole.
            QObject::connect(reply_, &QNetworkReply::uploadProgress, reply_,
                             [this] { timer_->start(); }),
            QObject::connect(reply_, &QNetworkReply::downloadProgress, reply_,
                             [this] { timer_->start(); }),
        };
        timer_->start();
        if (request_.deadlineSeconds > 0) {
            deadline_ = std::make_unique<QTimer>();
            deadline_->setSingleShot(true);
            connections_.push_back(
                QObject::connect(deadline_.get(), &QTimer::timeout, reply_, [this] {
                    guarded([this] {
                        fail(QStringLiteral("The request did not end within %1 s.")
                                 .arg(request_.deadlineSeconds));
                    });
                }));
            deadline_->start(timeoutMilliseconds(request_.deadlineSeconds));
        }
    }

    void cancel() override {
        auto self = shared_from_this();
        if (ended_) return;
        end();
        delegate_.reset();
    }

    void fail(const QString& error) {
        if (ended_) return;
        end();
        auto delegate = std::move(delegate_);
        delegate->didFailWithError(error);
    }

  private:
    template <typename F>
    void guarded(F&& action) {
        auto self = shared_from_this();
        if (!ended_) action();
    }

    void onMetaData() {
        const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid()) return;
        if (followsRedirects_ && isRedirectStatus(status.toInt()) &&
            reply_->hasRawHeader("Location")) {
            return;  // an intermediate answer; the final one follows
        }
        if (request_.method != "HEAD") {
            const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > request_.maxResponseBytes) {
                fail(tooLarge());
                return;
            }
        }
        deliverStatus();
    }

    void onReadyRead() {
        if (!deliverStatus()) return;
        const QByteArray piece = reply_->readAll();
        received_ += piece.size();
        if (received_ > request_.maxResponseBytes) {
            fail(tooLarge());
            return;
        }
        if (!piece.isEmpty()) delegate_->didReceiveData(piece);
    }

    void onFinished() {
        if (reply_->bytesAvailable() > 0) {
            onReadyRead();
            if (ended_) return;
        }
        const QNetworkReply::NetworkError error = reply_->error();
        const QVariant statusAttribute =
            reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool answered = statusAttribute.isValid();
        // An error on a successful status (a body that failed to decode) is a failure, not an
        // empty success.
        const bool errorStatus = statusAttribute.toInt() >= 400;
        if (answered &&
            (error == QNetworkReply::NoError || (errorStatus && isHttpStatusError(error)))) {
            if (!deliverStatus()) return;
            end();
            auto delegate = std::move(delegate_);
            delegate->didFinishLoading();
            return;
        }
        fail(reply_->errorString());
    }

    // Reports the status once; false when the exchange ended meanwhile (e.g. cancelled by the
    // delegate).
    bool deliverStatus() {
        if (statusDelivered_) return !ended_;
        statusDelivered_ = true;
        const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (lengthObserver_) {
            const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
            lengthObserver_(length.isValid() ? length.toLongLong() : -1);
        }
        delegate_->didReceiveResponse(status);
        return !ended_;
    }

    QString tooLarge() const {
        return QStringLiteral("The response body exceeds %1 bytes.").arg(request_.maxResponseBytes);
    }

    void end() {
        ended_ = true;
        release();
        if (client_) {
            QtHttpClient* client = client_;
            client_ = nullptr;
            client->active_.erase(shared_from_this());
        }
    }

    void release() {
        for (const auto& connection : connections_) QObject::disconnect(connection);
        connections_.clear();
        if (timer_) timer_->stop();
        if (deadline_) deadline_->stop();
        if (reply_) {
            reply_->abort();
            reply_->deleteLater();
            reply_ = nullptr;
        }
    }

    QtHttpClient* client_;  // none once ended
    UrlRequest request_;
    std::shared_ptr<UrlConnectionDelegate> delegate_;
    std::function<void(qint64)> lengthObserver_;
    QNetworkReply* reply_ = nullptr;
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<QTimer> deadline_;
    std::vector<QMetaObject::Connection> connections_;
    bool followsRedirects_ = false;
    bool statusDelivered_ = false;
    bool ended_ = false;
    qint64 received_ = 0;
};

QtHttpClient::QtHttpClient() : manager_(std::make_unique<QNetworkAccessManager>()) {
    manager_->setCookieJar(new SharedCookieJar);  // the manager owns it
}

SharedCookieJar& QtHttpClient::cookieJar() const {
    return static_cast<SharedCookieJar&>(*manager_->cookieJar());
}

void QtHttpClient::setOriginHeader(const QUrl& origin, const QByteArray& name,
                                   const QByteArray& value) {
    originHeader_ = OriginHeader{origin, name, value};
}

QtHttpClient::~QtHttpClient() {
    const auto active = active_;
    for (const auto& exchange : active) exchange->cancel();
}

std::shared_ptr<QtHttpClient::Exchange> QtHttpClient::begin(
    const UrlRequest& request, std::shared_ptr<UrlConnectionDelegate> delegate,
    std::function<void(qint64)> lengthObserver) {
    auto exchange =
        std::make_shared<Exchange>(*this, request, std::move(delegate), std::move(lengthObserver));
    active_.insert(exchange);
    exchange->start();
    return exchange;
}

std::shared_ptr<UrlConnection> QtHttpClient::startConnection(
    const UrlRequest& request, std::shared_ptr<UrlConnectionDelegate> delegate) {
    return begin(request, std::move(delegate), {});
}

namespace {

class CollectingDelegate : public UrlConnectionDelegate {
  public:
    explicit CollectingDelegate(std::function<void(const UrlResponse&)> completion)
        : completion_(std::move(completion)) {}

    void setExpectedLength(qint64 length) { response_.expectedContentLength = length; }
    void didReceiveResponse(int statusCode) override { response_.statusCode = statusCode; }
    void didReceiveData(const QByteArray& piece) override { response_.body += piece; }
    void didFinishLoading() override { completion_(response_); }
    void didFailWithError(const QString& error) override {
        response_.error = error.isEmpty() ? QStringLiteral("Unknown network error") : error;
        completion_(response_);
    }

  private:
    std::function<void(const UrlResponse&)> completion_;
    UrlResponse response_;
};

}  // namespace

void QtHttpClient::sendAsynchronousRequest(const UrlRequest& request,
                                           std::function<void(const UrlResponse&)> completion) {
    auto delegate = std::make_shared<CollectingDelegate>(std::move(completion));
    CollectingDelegate* collector = delegate.get();  // lives as long as the exchange needs it
    begin(request, std::move(delegate),
          [collector](qint64 length) { collector->setExpectedLength(length); });
}

}  // namespace lirra
