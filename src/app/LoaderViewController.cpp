// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LoaderViewController.h"

namespace lirra {

LoaderViewController::LoaderViewController(Platform& platform) : platform_(platform) {}

LoaderView& LoaderViewController::view() {
    if (!view_) view_ = platform_.createLoaderView();
    return *view_;
}

void LoaderViewController::showLoader(const std::optional<QString>& text, bool cancellable) {
    view().startAnimation();
    if (text) {
        view().setLabelHidden(false);
        view().setLabelText(*text);
    }
    view().setCancelHidden(!cancellable);
}

void LoaderViewController::hideLoader() {
    view().stopAnimation();
    view().setLabelHidden(true);
    view().setCancelHidden(true);
}

}  // namespace lirra
