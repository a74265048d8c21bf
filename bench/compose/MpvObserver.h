// The engine's time and dropped frames, observed (never asked for synchronously: with the render
// context's advanced control the core may wait for the render thread, which may wait for the main
// thread, so a blocking get on the main thread can hang both Quick ways at the start).
#pragma once

#include <mpv/client.h>

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <string>

class MpvObserver {
  public:
    explicit MpvObserver(mpv_handle* mpv) : mpv_(mpv) {
        mpv_observe_property(mpv_, 1, "time-pos", MPV_FORMAT_DOUBLE);
        mpv_observe_property(mpv_, 2, "frame-drop-count", MPV_FORMAT_INT64);
        mpv_set_wakeup_callback(
            mpv_,
            [](void* self) {
                auto* observer = static_cast<MpvObserver*>(self);
                // Queued always: libmpv may call this inside a call of ours, holding its lock.
                QMetaObject::invokeMethod(
                    &observer->context_, [observer] { observer->drain(); }, Qt::QueuedConnection);
            },
            this);
    }

    long long videoMs() const { return ms_.load(); }
    std::string drops() const { return std::to_string(drops_.load()); }

  private:
    void drain() {
        while (true) {
            mpv_event* event = mpv_wait_event(mpv_, 0);
            if (event->event_id == MPV_EVENT_NONE) return;
            if (event->event_id != MPV_EVENT_PROPERTY_CHANGE) continue;
            auto* property = static_cast<mpv_event_property*>(event->data);
            if (event->reply_userdata == 1 && property->format == MPV_FORMAT_DOUBLE) {
                ms_ = static_cast<long long>(*static_cast<double*>(property->data) * 1000);
            } else if (event->reply_userdata == 2 && property->format == MPV_FORMAT_INT64) {
                drops_ = *static_cast<int64_t*>(property->data);
            }
        }
    }

    mpv_handle* mpv_;
    QObject context_;
    std::atomic<long long> ms_{-1};
    std::atomic<long long> drops_{0};
};
