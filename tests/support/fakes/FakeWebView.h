// A web view for unit tests: records loads and scripts, answers queries from a table, and lets
// the test play the engine's part (navigations through the policy delegate, drops, file buttons,
// progress notifications).
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/WebView.h"

namespace lirra::fakes {

class FakeWebView : public WebView {
  public:
    // View.
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override { hidden_ = hidden; }

    // WebView.
    void loadUrl(const QUrl& url) override {
        loads_.push_back(url);
        url_ = url;
    }
    QUrl url() const override { return url_; }

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
    void registerForDraggedFileNames() override { ++registerForDraggedFileNamesCount_; }

    // The engine's side.

    // Offers a navigation to the policy delegate as the engine would; Use without a delegate.
    NavigationPolicy navigate(const QUrl& url) {
        return policyDelegate_ ? policyDelegate_->decidePolicyForNavigation(*this, url)
                               : NavigationPolicy::Use;
    }

    // A drop of local files: offered to the receiver only once registered; true when accepted
    // (the receiver is then told to conclude it).
    bool drop(const QStringList& fileNames) {
        if (dragReceiver_ == nullptr || registerForDraggedFileNamesCount_ == 0) {
            return false;
        }
        if (!dragReceiver_->performDragOperation(*this, fileNames)) {
            return false;
        }
        dragReceiver_->concludeDragOperation(*this, fileNames);
        return true;
    }

    // A page's file button; returns what the delegate chose, if it called back at once.
    std::optional<QStringList> clickFileButton() {
        std::optional<QStringList> chosen;
        if (uiDelegate_) {
            uiDelegate_->runOpenPanelForFileButton(
                *this, [&chosen](const QStringList& names) { chosen = names; });
        }
        return chosen;
    }

    // Progress notifications on `center`, with this view as sender.
    void postProgressStarted(NotificationCenter& center) {
        center.post(kWebViewProgressStartedNotification, static_cast<const WebView*>(this));
    }
    void postProgressFinished(NotificationCenter& center, bool failed = false) {
        center.post(kWebViewProgressFinishedNotification, static_cast<const WebView*>(this),
                    {{kWebViewLoadFailedKey, failed}});
    }

    void clearRecords() {
        loads_.clear();
        syncScripts_.clear();
        asyncScripts_.clear();
    }

    Rect frame_;
    bool hidden_ = false;
    QUrl url_;
    std::vector<QUrl> loads_;
    std::vector<QString> syncScripts_;   // evaluateScript, in order
    std::vector<QString> asyncScripts_;  // evaluateScriptAsync, in order
    QMap<QString, QString> answers_;     // script text to answer
    bool drawsBackground_ = true;
    WebPolicyDelegate* policyDelegate_ = nullptr;
    WebUIDelegate* uiDelegate_ = nullptr;
    DragReceiver* dragReceiver_ = nullptr;
    int registerForDraggedFileNamesCount_ = 0;
};

}  // namespace lirra::fakes
