// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Intake.h"

#include "bridge/PageEvents.h"
#include "platform/Log.h"

namespace lirra {

Intake::Intake(AppState& state, Application& application, HomeScreen& homeScreen,
               const OSHashAlgorithm& hash)
    : state_(state), application_(application), homeScreen_(homeScreen), hash_(hash) {}

bool Intake::applicationOpenFile(const QString& file) {
    state_.openFilePath = file;
    return true;
}

void Intake::processVideoAndLaunch(const VideoLocation& location) {
    state_.lookupResponseData.reset();
    state_.lookupStatusCode = 0;
    logLine("Analyzing video...");
    state_.videoLocation = location;
    ++state_.currentVideo;

    WebViewController* home = homeScreen_.homeWebViewController();
    state_.nativeLanguageCode =
        home ? home->view().evaluateScript(QString::fromLatin1(kNativeLanguageQuery)) : QString();
    if (home && interfaceLanguageObserver_) {
        interfaceLanguageObserver_(
            home->view().evaluateScript(QString::fromLatin1(kInterfaceLanguageQuery)));
    }
    if (home) home->view().setHidden(true);
    if (LoaderViewController* loader = homeScreen_.loaderViewController()) {
        loader->showLoader(QStringLiteral("Searching subtitles..."), /*cancellable=*/true);
    }

    // The state's, not the argument: the page query above runs a nested event loop.
    const VideoLocation& video = state_.videoLocation;
    if (video.isUrl()) {
        hash_.computeHashForURL(video.text, state_.currentVideo);
    } else {
        hash_.computeHashForPath(video.text, state_.currentVideo);
    }
}

void Intake::runOpenPanelForFileButton(WebView&,
                                       std::function<void(const QStringList&)> chooseFilenames) {
    OpenPanelOptions options;
    options.canChooseFiles = true;
    options.allowedFileTypes = {QStringLiteral("srt"), QStringLiteral("SRT"), QStringLiteral("sub"),
                                QStringLiteral("SUB")};
    const std::optional<QStringList> chosen = application_.runModalOpenPanel(options);
    // A cancelled panel tells the page nothing: its file button keeps what it held.
    if (chosen) chooseFilenames(*chosen);
}

}  // namespace lirra
