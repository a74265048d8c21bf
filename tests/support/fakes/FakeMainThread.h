// SPDX-License-Identifier: GPL-3.0-or-later
// The main thread's queue: tasks wait until the test runs them, in order (later posts too).
#pragma once

#include "platform/MainThread.h"
#include "promise/Queue.h"

namespace lirra::fakes {

class FakeMainThread : public MainThread {
  public:
    void post(std::function<void()> task) override { tasks_.async(std::move(task)); }
    bool isCurrent() const override { return current_; }
    std::size_t runAll() { return tasks_.runAll(); }  // how many ran

    bool current_ = true;

  private:
    ManualQueue tasks_;
};

}  // namespace lirra::fakes
