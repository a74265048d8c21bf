// Application services for unit tests: alerts and open panels answered from scripted queues,
// opened URLs and quits recorded.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "platform/Application.h"

namespace lirra::fakes {

class FakeApplication : public Application {
  public:
    // The next scripted answer, else the first button.
    int runModalAlert(const AlertSpec& alert) override {
        alerts_.push_back(alert);
        if (alertAnswers_.empty()) {
            return kAlertFirstButtonReturn;
        }
        const int answer = alertAnswers_.front();
        alertAnswers_.pop_front();
        return answer;
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
    void terminate() override { ++terminateCount_; }

    std::vector<AlertSpec> alerts_;
    std::deque<int> alertAnswers_;
    std::vector<OpenPanelOptions> openPanels_;
    std::deque<std::optional<QStringList>> openPanelAnswers_;
    std::vector<QUrl> openedUrls_;
    int terminateCount_ = 0;
};

}  // namespace lirra::fakes
