// SPDX-License-Identifier: GPL-3.0-or-later
// Application-wide services: modal alerts, open panels, the default browser, quitting.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace lirra {

enum class AlertStyle : int { kWarning = 0, kInformational = 1, kCritical = 2 };

struct AlertSpec {
    QString messageText;
    QString informativeText;
    QStringList buttons;  // in order; the first is the default
    AlertStyle style = AlertStyle::kWarning;
};

struct OpenPanelOptions {
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    QStringList allowedFileTypes;  // extensions without the dot; empty allows every file
};

inline constexpr int kAlertFirstButtonReturn = 1000;

class Application {
  public:
    virtual ~Application() = default;
    // Blocks until the user presses a button; returns kAlertFirstButtonReturn + its index.
    virtual int runModalAlert(const AlertSpec& alert) = 0;
    // The chosen file-system paths, or none when the user cancelled.
    virtual std::optional<QStringList> runModalOpenPanel(const OpenPanelOptions& options) = 0;
    virtual void openUrl(const QUrl& url) = 0;  // in the user's default browser
    virtual void terminate() = 0;
};

}  // namespace lirra
