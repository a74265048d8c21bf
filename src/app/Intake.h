// Where a video comes in: the desktop's open requests (held until the home page is ready), and
// the processing step every way of opening a video ends in. Also answers the player page's file
// buttons with an open panel for subtitle files.
#pragma once

#include <functional>

#include "app/HomeScreen.h"
#include "platform/Platform.h"
#include "state/AppState.h"

namespace lirra {

class Intake : public WebUIDelegate {
  public:
    struct Hash {
        std::function<void(const QString&)> computeHashForPath;
        std::function<void(const QString&)> computeHashForURL;
    };

    Intake(AppState& state, Application& application, HomeScreen& homeScreen, Hash hash);

    // The desktop asks us to open a file: it waits for the home page's readiness.
    bool applicationOpenFile(const QString& file);

    void processVideoAndLaunch(const QString& location);

    void runOpenPanelForFileButton(
        WebView& view, std::function<void(const QStringList&)> chooseFilenames) override;

  private:
    AppState& state_;
    Application& application_;
    HomeScreen& homeScreen_;
    Hash hash_;
};

}  // namespace lirra
