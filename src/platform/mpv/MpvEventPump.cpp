// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvEventPump.h"

#include <mpv/client.h>

namespace lirra {

MpvEventPump::MpvEventPump(std::function<void(const mpv_event&)> handle,
                           std::function<void()> drained)
    : handle_(std::move(handle)), drained_(std::move(drained)) {}

MpvEventPump::~MpvEventPump() { stop(); }

void MpvEventPump::start(mpv_handle* mpv) {
    mpv_ = mpv;
    mpv_set_wakeup_callback(mpv_, &MpvEventPump::onWakeup, this);
}

void MpvEventPump::stop() {
    if (mpv_) mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpv_ = nullptr;
}

// On one of mpv's threads.
void MpvEventPump::onWakeup(void* self) {
    auto* pump = static_cast<MpvEventPump*>(self);
    if (pump->posted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        &pump->context_, [pump] { pump->drain(); }, Qt::QueuedConnection);
}

void MpvEventPump::drain() {
    posted_ = false;  // before reading, so a wakeup during the drain is not lost
    while (mpv_) {
        const mpv_event* event = mpv_wait_event(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        handle_(*event);
    }
    drained_();
}

}  // namespace lirra
