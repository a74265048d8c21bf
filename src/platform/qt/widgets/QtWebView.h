// WebView on Qt WebEngine. The widget it hands out is a host holding the QWebEngineView: the
// engine passes key presses that the page did not take to the view's parent, and the host
// swallows them there.
#pragma once

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

#include "platform/NotificationCenter.h"
#include "platform/WebView.h"
#include "platform/qt/WidgetBacked.h"
#include "platform/qt/webcommon/PageLoads.h"

class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWidget;

namespace lirra {

class QtWebView final : public WebView, public WidgetBacked {
  public:
    // How long evaluateScript waits for the page's answer.
    static constexpr int kEvaluationTimeoutMs = 3000;

    // Progress notifications go to `center`. Uses the shared profile unless given another.
    explicit QtWebView(NotificationCenter& center, QWebEngineProfile* profile = nullptr);
    ~QtWebView() override;
    QtWebView(const QtWebView&) = delete;
    QtWebView& operator=(const QtWebView&) = delete;

    // View
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override;

    // WebView
    void loadUrl(const QUrl& url) override;
    QUrl url() const override;
    QString evaluateScript(const QString& script) override;
    void evaluateScriptAsync(const QString& script) override;
    void setDrawsBackground(bool draws) override;
    void setPolicyDelegate(WebPolicyDelegate* delegate) override { policyDelegate_ = delegate; }
    void setUIDelegate(WebUIDelegate* delegate) override { uiDelegate_ = delegate; }
    void setDragReceiver(DragReceiver* receiver) override { dragReceiver_ = receiver; }
    void registerForDraggedFileNames() override { registeredForFileNames_ = true; }

    // WidgetBacked
    QWidget* widget() override;

    QWebEngineView* engineView() const { return view_; }
    QWebEnginePage* page() const;
    bool drawsBackground() const { return drawsBackground_; }

  private:
    class Host;
    class Page;
    class DropFilter;

    // Navigation policy, asked by the page for every frame.
    bool acceptNavigation(const QUrl& url, bool isMainFrame);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void traceScript(const QString& script) const;
    QStringList chooseFiles();
    // Drops of local files: asked of the drag receiver, only once registered for file names.
    bool acceptsDrop(const QStringList& fileNames);
    void concludeDrop(const QStringList& fileNames);

    NotificationCenter& center_;
    QPointer<QWidget> host_;
    QPointer<QWebEngineView> view_;
    QPointer<Page> page_;
    std::unique_ptr<DropFilter> dropFilter_;
    WebPolicyDelegate* policyDelegate_ = nullptr;
    WebUIDelegate* uiDelegate_ = nullptr;
    DragReceiver* dragReceiver_ = nullptr;
    bool registeredForFileNames_ = false;
    bool hidden_ = false;
    bool drawsBackground_ = true;

    // Main-frame navigations the policy refused: the engine still reports a load start and
    // stop for them, which are not progress of a page.
    RefusedNavigations refused_;
    bool loading_ = false;        // the main frame is loading (refused navigations included)
    bool repaintedOnce_ = false;  // the first load's full repaint has been asked for
};

}  // namespace lirra
