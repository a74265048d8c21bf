// SPDX-License-Identifier: GPL-3.0-or-later
// The main (UI) thread's event loop, as far as the logic needs it: a place to post work to.
#pragma once

#include <functional>

namespace lirra {

class MainThread {
  public:
    virtual ~MainThread() = default;
    // Runs `task` later on the main thread, in posting order. Callable from any thread.
    virtual void post(std::function<void()> task) = 0;
    virtual bool isCurrent() const = 0;
};

}  // namespace lirra
