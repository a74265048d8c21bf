// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtApplication.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "platform/Log.h"
#include "platform/qt/l10n/Translations.h"

namespace lirra {

namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
        case AlertStyle::kInformational:
            return QMessageBox::Information;
        case AlertStyle::kCritical:
            return QMessageBox::Critical;
        case AlertStyle::kWarning:
        default:
            return QMessageBox::Warning;
    }
}

// How long an auto-replied alert stays up, or none when alerts wait for the user.
std::optional<int> autoReplyDelayMs() {
    if (!qEnvironmentVariableIsSet(QtApplication::kAutoReplyVariable)) return std::nullopt;
    bool number = false;
    const int value = qEnvironmentVariableIntValue(QtApplication::kAutoReplyVariable, &number);
    return number && value > 0 ? value : QtApplication::kDefaultAutoReplyMs;
}

}  // namespace

int QtApplication::runModalAlert(const AlertSpec& alert) {
    // Shown in the interface's language, logged as the design gives it.
    QMessageBox box(iconFor(alert.style), QStringLiteral("Lirra"), shownText(alert.messageText),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setInformativeText(shownText(alert.informativeText));
    box.setTextFormat(Qt::PlainText);
    QStringList titles = alert.buttons;
    if (titles.isEmpty()) titles.append(QStringLiteral("OK"));
    std::vector<QAbstractButton*> buttons;
    for (const QString& title : titles) {
        // One role for all keeps them in the order given.
        buttons.push_back(box.addButton(shownText(title), QMessageBox::AcceptRole));
    }
    box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));

    if (const std::optional<int> delay = autoReplyDelayMs()) {
        logLine(("Alert: " + alert.messageText + " | " + alert.informativeText).toStdString());
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QEventLoop wait;
        QTimer::singleShot(*delay, &wait, &QEventLoop::quit);
        wait.exec();
        box.hide();
        return kAlertFirstButtonReturn;
    }

    box.exec();
    const auto clicked = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (clicked == buttons.end()) return kAlertFirstButtonReturn;
    return kAlertFirstButtonReturn + int(clicked - buttons.begin());
}

QString QtApplication::nameFilter(const QStringList& allowedFileTypes) {
    if (allowedFileTypes.isEmpty()) return QString();
    QStringList patterns;
    for (const QString& type : allowedFileTypes) patterns.append(QStringLiteral("*.") + type);
    return QCoreApplication::translate("QtApplication", "Supported files (%1)")
        .arg(patterns.join(QLatin1Char(' ')));
}

std::optional<QStringList> QtApplication::runModalOpenPanel(const OpenPanelOptions& options) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (options.canChooseDirectories && !options.canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
    } else {
        dialog.setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                           : QFileDialog::ExistingFile);
    }
    if (const QString filter = nameFilter(options.allowedFileTypes); !filter.isEmpty())
        dialog.setNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

void QtApplication::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void QtApplication::terminate() {
    // After the current event: the caller may still be inside a window's callback.
    // exit, not quit: quit would first ask the windows to close, and the main window answers
    // that by going home or by asking us to terminate again.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

}  // namespace lirra
