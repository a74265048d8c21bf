// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded web engine as the controllers use it. All calls on the main thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "View.h"

namespace lirra {

// Posted on the web view's notification center with the WebView* as sender, when a load of
// the main frame starts and when it has finished (whatever its outcome). Navigations that the
// policy delegate refused post neither.
inline constexpr char kWebViewProgressStartedNotification[] = "WebViewProgressStartedNotification";
inline constexpr char kWebViewProgressFinishedNotification[] =
    "WebViewProgressFinishedNotification";
// In the finished notification's user info: true (a bool) when the page could not be loaded.
inline constexpr char kWebViewLoadFailedKey[] = "failed";

class WebView;

enum class NavigationPolicy { Use, Ignore };

// Decides every navigation of every frame of the view, the view's own loads included.
// Called on the main thread while the engine waits for the answer: do not evaluate scripts
// in here; post follow-up work to the main thread instead.
class WebPolicyDelegate {
  public:
    virtual ~WebPolicyDelegate() = default;
    virtual NavigationPolicy decidePolicyForNavigation(WebView& view, const QUrl& url) = 0;
};

// A page's file button asks for a file. Call `chooseFilenames` with the chosen paths, or never.
class WebUIDelegate {
  public:
    virtual ~WebUIDelegate() = default;
    virtual void runOpenPanelForFileButton(
        WebView& view, std::function<void(const QStringList&)> chooseFilenames) = 0;
};

// Decides file drops on the view; the page never sees a dropped file.
class DragReceiver {
  public:
    virtual ~DragReceiver() = default;
    // Whether to accept a drop of these local file names.
    virtual bool performDragOperation(WebView& view, const QStringList& fileNames) = 0;
    // After an accepted drop.
    virtual void concludeDragOperation(WebView& view, const QStringList& fileNames) = 0;
};

class WebView : public View {
  public:
    // Loads the URL in the main frame ("about:blank" empties the page).
    virtual void loadUrl(const QUrl& url) = 0;
    virtual QUrl url() const = 0;

    // Runs the script in the main frame and returns the string form of its value. Undefined,
    // null, a thrown error, a syntax error or no answer within a few seconds give "".
    virtual QString evaluateScript(const QString& script) = 0;
    // Runs the script without waiting for it; scripts run in the order sent.
    virtual void evaluateScriptAsync(const QString& script) = 0;

    // When false, whatever lies beneath shows through where the page paints nothing.
    virtual void setDrawsBackground(bool draws) = 0;

    virtual void setPolicyDelegate(WebPolicyDelegate* delegate) = 0;
    virtual void setUIDelegate(WebUIDelegate* delegate) = 0;

    // File drops reach the receiver only once the view is registered for file names.
    virtual void setDragReceiver(DragReceiver* receiver) = 0;
    virtual void registerForDraggedFileNames() = 0;
};

}  // namespace lirra
