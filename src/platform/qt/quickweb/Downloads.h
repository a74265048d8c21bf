// SPDX-License-Identifier: GPL-3.0-or-later
// Files that pages offer to save (the notebook's export for Anki, the list of known words).
// The web engine drops a download that nobody accepts, so the shared profile hands each one
// here: the learner chooses where it goes, and the log says where it went or why it failed.
#pragma once

#include <QString>
#include <functional>

class QWebEngineDownloadRequest;

namespace lirra {

// Given the path the page suggests (the download folder and the file's name), answers where to
// save, or an empty string to drop the download.
using SaveLocationChooser = std::function<QString(const QString& suggestedPath)>;

// Accepts the download at the place the current chooser answers, or cancels it.
void handleDownloadRequest(QWebEngineDownloadRequest* download);

// Replaces the chooser (by default a save dialog over the active window); tests answer for the
// learner. An empty function restores the dialog.
void setSaveLocationChooser(SaveLocationChooser chooser);

}  // namespace lirra
