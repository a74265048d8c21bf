// SPDX-License-Identifier: GPL-3.0-or-later
// WebView on Qt WebEngine's Quick view. The item it hands out is a host holding the engine's
// item: the engine passes key presses that the page did not take to its parent item, and the
// host swallows them there.
#pragma once

#include <QPointer>
#include <QUrl>
#include <memory>

#include "PageLoads.h"
#include "PaintedRows.h"
#include "platform/NotificationCenter.h"
#include "platform/WebView.h"
#include "platform/qt/quick/ItemBacked.h"

class QQmlEngine;
class QTimer;
class QQuickItem;
class QQuickWebEngineProfile;
class QWebEngineLoadingInfo;

namespace lirra {

class QuickWebViewGlue;

class QuickWebView final : public WebView, public ItemBacked {
  public:
    // How long evaluateScript waits for the page's answer.
    static constexpr int kEvaluationTimeoutMs = 3000;

    // Progress notifications go to `center`; the engine's item is made in `engine`. Uses the
    // shared profile unless given another.
    QuickWebView(NotificationCenter& center, QQmlEngine& engine,
                 QQuickWebEngineProfile* profile = nullptr);
    ~QuickWebView() override;
    QuickWebView(const QuickWebView&) = delete;
    QuickWebView& operator=(const QuickWebView&) = delete;

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

    // ItemBacked: the host (no parent item until a window adopts it).
    QQuickItem* item() override;

    // The engine's own item (a WebEngineView), filling the host.
    QQuickItem* engineItem() const { return view_; }
    // While the page is transparent, the bands of rows (top, bottom) it is composed over, in
    // pixels; none while no reading has come yet.
    std::vector<std::pair<double, double>> composedBands() const;
    bool drawsBackground() const { return drawsBackground_; }

  private:
    friend class QuickWebViewGlue;
    class Host;

    // Navigation policy, asked by the engine for every frame.
    bool acceptNavigation(const QUrl& url, bool isMainFrame);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void traceScript(const QString& script) const;
    // While the bridge is timed: the page's clock read in one evaluation, for lining it up.
    void readPageClock();
    QStringList chooseFiles();
    // Drops of local files: asked of the drag receiver, only once registered for file names.
    bool acceptsDrop(const QStringList& fileNames);
    void concludeDrop(const QStringList& fileNames);
    // A transparent page is composed only over the rows it paints.
    void composeOnlyPaintedRows(bool only);
    // Gives the bands what the composition says.
    void composeBands();
    // A while after a load: composed whole when nothing painted has been read since.
    void pageUnseen();

    NotificationCenter& center_;
    QPointer<QQuickItem> host_;
    QPointer<QQuickItem> view_;
    QUrl loaded_;  // what the app loaded: its origin may use the microphone
    std::unique_ptr<QuickWebViewGlue> glue_;
    QPointer<QQuickItem> bands_;  // what composes a transparent page over what lies beneath
    PageComposition composition_;
    QTimer* unseenWatchdog_;  // owned by the glue
    WebPolicyDelegate* policyDelegate_ = nullptr;
    WebUIDelegate* uiDelegate_ = nullptr;
    DragReceiver* dragReceiver_ = nullptr;
    bool registeredForFileNames_ = false;
    bool hidden_ = false;
    bool drawsBackground_ = true;
    int lastToken_ = 0;
    QString channelKey_;  // of the bridge channel its pages may send through  // names each
                          // synchronous evaluation's answer

    // Main-frame navigations the policy refused: the engine still reports a load start and
    // stop for them, which are not progress of a page.
    RefusedNavigations refused_;
    bool loading_ = false;  // the main frame is loading (refused navigations included)
};

}  // namespace lirra
