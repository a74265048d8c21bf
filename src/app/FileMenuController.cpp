// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileMenuController.h"

namespace lirra {

FileMenuController::FileMenuController(Application& application, VideoIntake& intake)
    : application_(application), intake_(intake) {}

void FileMenuController::open() {
    OpenPanelOptions options;
    options.canChooseDirectories = false;
    options.canChooseFiles = true;
    options.allowsMultipleSelection = false;
    const std::optional<QStringList> chosen = application_.runModalOpenPanel(options);
    if (!chosen || chosen->isEmpty()) return;
    intake_.processVideoAndLaunch(chosen->first());
}

}  // namespace lirra
