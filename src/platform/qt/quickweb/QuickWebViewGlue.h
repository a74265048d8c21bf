// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine's QML item calls into, and the C++ side of its signals, for one QuickWebView.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariant>

class QWebEngineLoadingInfo;
class QWebEngineNavigationRequest;

namespace lirra {

class QuickWebView;

class QuickWebViewGlue : public QObject {
    Q_OBJECT

  public:
    explicit QuickWebViewGlue(QuickWebView& owner) : owner_(owner) {}

    // From the item's QML.
    Q_INVOKABLE QStringList chooseFiles();
    Q_INVOKABLE void consoleMessage(bool error, const QString& message, int line,
                                    const QString& source);
    Q_INVOKABLE void answer(int token, const QVariant& value) { emit answered(token, value); }
    Q_INVOKABLE bool grants(const QUrl& origin, bool microphoneOnly) const;
    // While the bridge is timed (BridgeTiming.h).
    Q_INVOKABLE void evaluatedTimed(const QString& script);
    Q_INVOKABLE void pageClockRead(double sentMicros, double pageMs);

    // Watches the item (and the items the engine puts in it) for drags.
    void watch(QObject& item);

  public slots:
    void onNavigationRequested(QWebEngineNavigationRequest* request);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    // A bridge URL the page sent through the view's channel: decided as a sub-frame's navigation.
    void channelSent(const QUrl& url);

  signals:
    void answered(int token, const QVariant& value);
    // The main frame's load has ended, whatever its outcome.
    void loadEnded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The navigation policy's answer, stamped while the bridge is timed.
    bool decide(const QUrl& url, bool isMainFrame);

    QuickWebView& owner_;
};

}  // namespace lirra
