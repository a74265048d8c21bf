// SPDX-License-Identifier: GPL-3.0-or-later
// Owns one web view (the home page's or the player page's) and loads pages into it.
#pragma once

#include <QString>
#include <memory>

#include "platform/Platform.h"
#include "state/AppState.h"

namespace lirra {

class WebViewController {
  public:
    // The plain initialiser: leaves the process-wide useCache flag as it is.
    WebViewController(Platform& platform, AppState& state);
    // Also stores `useCache` into the process-wide flag, read when the view is first made.
    WebViewController(Platform& platform, AppState& state, bool useCache);

    // Makes the web view on first use.
    WebView& view();
    bool isViewLoaded() const { return view_ != nullptr; }

    void loadUrl(const QString& urlText);
    // Empties the page.
    void clear();

    QString url;  // kept for callers; the loading operations neither set nor read it

  private:
    void awakeFromNib();

    Platform& platform_;
    AppState& state_;
    std::unique_ptr<WebView> view_;
};

}  // namespace lirra
