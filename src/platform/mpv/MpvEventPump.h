// SPDX-License-Identifier: GPL-3.0-or-later
// Brings mpv's events to the main thread. mpv calls the wakeup callback on any of its threads;
// the callback only posts (one drain at a time) and the drain, on the main thread, takes every
// pending event until there is none.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

struct mpv_handle;
struct mpv_event;

namespace lirra {

class MpvEventPump {
  public:
    // `handle` gets each event; `drained` is called after the last one of a drain.
    MpvEventPump(std::function<void(const mpv_event&)> handle, std::function<void()> drained);
    ~MpvEventPump();
    MpvEventPump(const MpvEventPump&) = delete;
    MpvEventPump& operator=(const MpvEventPump&) = delete;

    void start(mpv_handle* mpv);
    // mpv stops calling back; it waits for a callback in progress. Drains already posted are
    // dropped with this object.
    void stop();

  private:
    static void onWakeup(void* self);
    void drain();

    QObject context_;
    std::function<void(const mpv_event&)> handle_;
    std::function<void()> drained_;
    mpv_handle* mpv_ = nullptr;
    std::atomic<bool> posted_{false};
};

}  // namespace lirra
