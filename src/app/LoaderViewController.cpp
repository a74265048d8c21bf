#include "app/LoaderViewController.h"

namespace lirra {

LoaderViewController::LoaderViewController(Platform& platform) : platform_(platform) {}

LoaderView& LoaderViewController::view() {
    if (!view_) view_ = platform_.createLoaderView();
    return *view_;
}

void LoaderViewController::showLoader(const std::optional<QString>& text) {
    view().startAnimation();
    if (text) {
        view().setLabelHidden(false);
        view().setLabelText(*text);
    }
}

void LoaderViewController::hideLoader() {
    view().stopAnimation();
    view().setLabelHidden(true);
}

}  // namespace lirra
