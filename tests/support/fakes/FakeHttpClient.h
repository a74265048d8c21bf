// SPDX-License-Identifier: GPL-3.0-or-later
// HTTP for unit tests: nothing goes out; the test reads the recorded exchanges and answers them.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/UrlConnection.h"

namespace lirra::fakes {

struct FakeUrlConnection : UrlConnection {
    void cancel() override { cancelled_ = true; }
    bool cancelled_ = false;
};

struct FakeHttpClient : HttpClient {
    struct Connection {
        UrlRequest request;
        std::shared_ptr<UrlConnectionDelegate> delegate;
        std::shared_ptr<FakeUrlConnection> connection;

        // Plays a whole successful exchange on the delegate.
        void respond(int statusCode, const QByteArray& body) const {
            delegate->didReceiveResponse(statusCode);
            if (!body.isEmpty()) delegate->didReceiveData(body);
            delegate->didFinishLoading();
        }
    };
    struct Exchange {
        UrlRequest request;
        std::function<void(const UrlResponse&)> completion;
    };

    std::shared_ptr<UrlConnection> startConnection(
        const UrlRequest& request, std::shared_ptr<UrlConnectionDelegate> delegate) override {
        auto connection = std::make_shared<FakeUrlConnection>();
        connections_.push_back(Connection{request, std::move(delegate), connection});
        return connection;
    }
    void sendAsynchronousRequest(const UrlRequest& request,
                                 std::function<void(const UrlResponse&)> completion) override {
        exchanges_.push_back(Exchange{request, std::move(completion)});
    }

    std::vector<Connection> connections_;
    std::vector<Exchange> exchanges_;
};

}  // namespace lirra::fakes
