// SPDX-License-Identifier: GPL-3.0-or-later
// Where a video comes in: the desktop's open requests (held until the home page is ready), and
// the processing step every way of opening a video ends in. Also answers the player page's file
// buttons with an open panel for subtitle files.
#pragma once

#include <functional>

#include "app/HomeScreen.h"
#include "hash/OSHashAlgorithm.h"
#include "platform/Platform.h"
#include "state/AppState.h"

namespace lirra {

class Intake : public WebUIDelegate {
  public:
    Intake(AppState& state, Application& application, HomeScreen& homeScreen,
           const OSHashAlgorithm& hash);

    // The desktop asks us to open a file: it waits for the home page's readiness.
    bool applicationOpenFile(const QString& file);

    // Hashes the video as its kind says: a file is read, a URL is asked for its blocks.
    void processVideoAndLaunch(const VideoLocation& location);

    void runOpenPanelForFileButton(
        WebView& view, std::function<void(const QStringList&)> chooseFilenames) override;

    // Told the pages' interface language (a BCP 47 tag, as the home page's document has it) each
    // time a video is taken in, so that the menus can follow it.
    void setInterfaceLanguageObserver(std::function<void(const QString&)> observer) {
        interfaceLanguageObserver_ = std::move(observer);
    }

  private:
    AppState& state_;
    Application& application_;
    HomeScreen& homeScreen_;
    const OSHashAlgorithm& hash_;
    std::function<void(const QString&)> interfaceLanguageObserver_;
};

// The home page's interface language: what its catalogue made of the learner's choice or the
// locale.
inline constexpr char kInterfaceLanguageQuery[] = "document.documentElement.lang";

}  // namespace lirra
