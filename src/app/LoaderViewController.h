// The loader beneath the home page: a spinning wheel and a one-line label.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "platform/Platform.h"

namespace lirra {

class LoaderViewController {
  public:
    explicit LoaderViewController(Platform& platform);

    LoaderView& view();  // made on first use

    // Starts the wheel; with a text, shows the label with it. Without one the label is untouched.
    void showLoader(const std::optional<QString>& text);
    // Stops the wheel and hides the label. The label keeps its text: the home screen reads it.
    void hideLoader();

  private:
    Platform& platform_;
    std::unique_ptr<LoaderView> view_;
};

}  // namespace lirra
