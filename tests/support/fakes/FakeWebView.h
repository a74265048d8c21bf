// SPDX-License-Identifier: GPL-3.0-or-later
// A web view recording loads and scripts, answering from a table; the test plays the engine
// (navigations through the policy delegate, drops, file buttons, progress).
#pragma once

#include <QMap>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <vector>

#include "FakeViews.h"
#include "platform/NotificationCenter.h"
#include "platform/WebView.h"

namespace lirra::fakes {

struct FakeWebView : FakeView<WebView> {
    void loadUrl(const QUrl& url) override { loads_.push_back(url); }
    QUrl url() const override { return loads_.empty() ? QUrl() : loads_.back(); }
    // Answers from `answers_`, else "".
    QString evaluateScript(const QString& script) override {
        syncScripts_.push_back(script);
        return answers_.value(script);
    }
    void evaluateScriptAsync(const QString& script) override { asyncScripts_.push_back(script); }
    void setDrawsBackground(bool draws) override { drawsBackground_ = draws; }
    void setPolicyDelegate(WebPolicyDelegate* delegate) override { policyDelegate_ = delegate; }
    void setUIDelegate(WebUIDelegate* delegate) override { uiDelegate_ = delegate; }
    void setDragReceiver(DragReceiver* receiver) override { dragReceiver_ = receiver; }
    void registerForDraggedFileNames() override { ++dropRegistrations_; }

    // Offers a navigation to the policy delegate as the engine would; Use without a delegate.
    NavigationPolicy navigate(const QString& url) {
        return policyDelegate_ ? policyDelegate_->decidePolicyForNavigation(*this, QUrl(url))
                               : NavigationPolicy::Use;
    }
    // A drop of local files, offered only once registered; true when accepted (the receiver is
    // then told to conclude it).
    bool drop(const QStringList& fileNames) {
        if (!dragReceiver_ || dropRegistrations_ == 0 ||
            !dragReceiver_->performDragOperation(*this, fileNames))
            return false;
        dragReceiver_->concludeDragOperation(*this, fileNames);
        return true;
    }
    // A page's file button: what the delegate chose, if it called back at once.
    std::optional<QStringList> clickFileButton() {
        std::optional<QStringList> chosen;
        if (uiDelegate_)
            uiDelegate_->runOpenPanelForFileButton(*this, [&](auto& c) { chosen = c; });
        return chosen;
    }
    // The progress notifications of one load on `center`, this view the sender.
    void postProgressStarted(NotificationCenter& center) {
        center.post(kWebViewProgressStartedNotification, static_cast<const WebView*>(this));
    }
    void postProgressFinished(NotificationCenter& center, bool failed = false) {
        center.post(kWebViewProgressFinishedNotification, static_cast<const WebView*>(this),
                    {{kWebViewLoadFailedKey, failed}});
    }

    std::vector<QUrl> loads_;
    std::vector<QString> syncScripts_, asyncScripts_;  // evaluateScript(Async), in order
    QMap<QString, QString> answers_;                   // script text to answer
    bool drawsBackground_ = true;
    WebPolicyDelegate* policyDelegate_ = nullptr;
    WebUIDelegate* uiDelegate_ = nullptr;
    DragReceiver* dragReceiver_ = nullptr;
    int dropRegistrations_ = 0;
};

}  // namespace lirra::fakes
