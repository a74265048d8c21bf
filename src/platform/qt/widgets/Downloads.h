// Files that pages offer to save (the notebook's export for Anki, the list of known words).
// The web engine drops a download that nobody accepts, so the shared profile hands each one
// here: the learner chooses where it goes, and the log says where it went or why it failed.
#pragma once

#include <QString>
#include <functional>

class QWebEngineProfile;

namespace lirra {

// Given the path the page suggests (the download folder and the file's name), answers where to
// save, or an empty string to drop the download.
using SaveLocationChooser = std::function<QString(const QString& suggestedPath)>;

// Accepts every download of `profile` at the place the current chooser answers.
void handleDownloads(QWebEngineProfile& profile);

// Replaces the chooser (by default a save dialog over the active window); tests answer for the
// learner. An empty function restores the dialog.
void setSaveLocationChooser(SaveLocationChooser chooser);

}  // namespace lirra
