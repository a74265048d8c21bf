// SPDX-License-Identifier: GPL-3.0-or-later
// Application services on Qt: alerts (QMessageBox), open panels (QFileDialog), the default
// browser (QDesktopServices) and quitting.
//
// For automated runs, when the environment variable LIRRA_ALERT_AUTOREPLY is set, an alert does
// not wait for the user: it writes "Alert: <message> | <informative>" to the log, stays on
// screen for a moment (the variable's value in milliseconds when it is a positive number, else
// kDefaultAutoReplyMs) so that a screenshot can catch it, and answers its first button.
#pragma once

#include "platform/Application.h"

class QMessageBox;

namespace lirra {

class QtApplication final : public Application {
  public:
    static constexpr int kDefaultAutoReplyMs = 1500;
    static constexpr char kAutoReplyVariable[] = "LIRRA_ALERT_AUTOREPLY";

    int runModalAlert(const AlertSpec& alert) override;
    std::optional<QStringList> runModalOpenPanel(const OpenPanelOptions& options) override;
    void openUrl(const QUrl& url) override;
    void terminate() override;

    // The name filter an open panel uses for these extensions ("" for every file).
    static QString nameFilter(const QStringList& allowedFileTypes);
};

}  // namespace lirra
