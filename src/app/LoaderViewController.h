// SPDX-License-Identifier: GPL-3.0-or-later
// The loader beneath the home page: a spinning wheel, a one-line label and a Cancel button.
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
    // The Cancel button shows only for work the learner may give up (a video being searched).
    void showLoader(const std::optional<QString>& text, bool cancellable = false);
    // Stops the wheel and hides the label and the button. The label keeps its text: the home
    // screen reads it.
    void hideLoader();

  private:
    Platform& platform_;
    std::unique_ptr<LoaderView> view_;
};

}  // namespace lirra
