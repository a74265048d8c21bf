// SPDX-License-Identifier: GPL-3.0-or-later
// What the web view makes of the engine's reports: which load starts and ends are a page's
// progress, what the page's console says, and the files a page's file button gets.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>

namespace lirra {

class WebUIDelegate;
class WebView;

// The engine reports a main-frame navigation that the policy refused as a load start and end
// too (its end may name a later refused URL). Those are not a page's progress.
class RefusedNavigations {
  public:
    // A main-frame navigation to `url` was refused.
    void refused(const QUrl& url);
    // A load of `url` started; false when it is a refused one (nothing to tell).
    bool loadStarted(const QUrl& url);
    // The load under way ended; false when it was a refused one.
    bool loadEnded();

  private:
    struct Refused {
        QUrl url;
        qint64 atMs;
    };
    std::deque<Refused> refused_;
    bool loadRefused_ = false;  // the load under way is one of them
};

// A page's console message: errors to the log, the rest traced with --verbose.
void logConsoleMessage(bool error, const QString& message, int line, const QString& source);

// The files the UI delegate chooses for a page's file button, asked synchronously: the engine
// wants the answer now, so a delegate that answers later is not heard.
QStringList chooseFilesFor(WebView& view, WebUIDelegate* delegate);

}  // namespace lirra
