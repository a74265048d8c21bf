// SPDX-License-Identifier: GPL-3.0-or-later
#include "Downloads.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QWebEngineDownloadRequest>

#include "platform/Log.h"

namespace lirra {

namespace {

QString askWithDialog(const QString& suggestedPath) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(),
                                        QCoreApplication::translate("Downloads", "Save as"),
                                        suggestedPath);
}

SaveLocationChooser& chooser() {
    static SaveLocationChooser current;
    return current;
}

void reportEnd(QWebEngineDownloadRequest* download) {
    const QString path = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    if (download->state() == QWebEngineDownloadRequest::DownloadCompleted) {
        logLine("Saved " + path.toStdString());
    } else if (download->state() == QWebEngineDownloadRequest::DownloadInterrupted) {
        logLine("Could not save " + path.toStdString() + ": " +
                download->interruptReasonString().toStdString());
    }
}

}  // namespace

void handleDownloadRequest(QWebEngineDownloadRequest* download) {
    if (!download) return;
    // Saving a whole page is not something our pages offer.
    if (download->isSavePageDownload()) return;
    // Without a downloads folder the dialog would open wherever the app was started.
    QString folder = download->downloadDirectory();
    if (!QDir(folder).exists()) folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(download->downloadFileName());
    const QString chosen = chooser() ? chooser()(suggested) : askWithDialog(suggested);
    if (chosen.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo target(chosen);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, download,
                     [download] { reportEnd(download); });
    download->accept();
}

void setSaveLocationChooser(SaveLocationChooser chooser) { lirra::chooser() = std::move(chooser); }

}  // namespace lirra
