// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts answered with the first button (`onAlert_` runs while one is up, as a modal loop lets
// events through), open panels from a queue of answers; opened URLs and quits recorded.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Application.h"

namespace lirra::fakes {

struct FakeApplication : Application {
    int runModalAlert(const AlertSpec& alert) override {
        alerts_.push_back(alert);
        if (onAlert_) onAlert_();
        return kAlertFirstButtonReturn;
    }
    // The next scripted answer, else a cancel.
    std::optional<QStringList> runModalOpenPanel(const OpenPanelOptions& options) override {
        openPanels_.push_back(options);
        std::optional<QStringList> answer;
        if (!openPanelAnswers_.empty()) {
            answer.swap(openPanelAnswers_.front());
            openPanelAnswers_.pop_front();
        }
        return answer;
    }
    void openUrl(const QUrl& url) override { openedUrls_.push_back(url); }
    void terminate() override { ++terminations_; }

    std::vector<AlertSpec> alerts_;
    std::function<void()> onAlert_;
    std::vector<OpenPanelOptions> openPanels_;
    std::deque<std::optional<QStringList>> openPanelAnswers_;
    std::vector<QUrl> openedUrls_;
    int terminations_ = 0;
};

}  // namespace lirra::fakes
