// SPDX-License-Identifier: GPL-3.0-or-later
// MainThread over the Qt main event loop.
#pragma once

#include <QObject>
#include <memory>

#include "platform/MainThread.h"

namespace lirra {

// Make it on the main thread (after the QCoreApplication); it must outlive every poster.
class QtMainThread : public MainThread {
  public:
    QtMainThread();
    ~QtMainThread() override;

    void post(std::function<void()> task) override;
    bool isCurrent() const override;

  private:
    // Queued calls on one receiver run in the order they were posted.
    std::unique_ptr<QObject> receiver_;
};

}  // namespace lirra
