// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvQuickRenderer.h"

#include <QQuickWindow>
#include <QRunnable>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/Log.h"

namespace lirra {
namespace {

// How long the main thread waits for the render thread to free the render context; the render
// thread never waits for the main thread while it draws, so this only bounds a stuck driver.
constexpr auto kFreeWait = std::chrono::seconds(3);

struct Latch {
    std::mutex mutex;
    std::condition_variable done;
    bool released = false;

    void release() {
        std::lock_guard lock(mutex);
        released = true;
        done.notify_all();
    }
    void waitFor(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex);
        done.wait_for(lock, bound, [this] { return released; });
    }
};

// Runs on the render thread with the scene graph's GL context current, or is deleted unrun
// (the window is not exposed); either way the latch is released.
class FreeJob final : public QRunnable {
  public:
    FreeJob(std::shared_ptr<MpvQuickDrawing> drawing, std::shared_ptr<Latch> latch)
        : drawing_(std::move(drawing)), latch_(std::move(latch)) {}
    ~FreeJob() override { latch_->release(); }
    void run() override { drawing_->free(); }

  private:
    std::shared_ptr<MpvQuickDrawing> drawing_;
    std::shared_ptr<Latch> latch_;
};

}  // namespace

MpvQuickRenderer::MpvQuickRenderer(QuickVideoView& view, Hooks hooks)
    : view_(&view), hooks_(std::move(hooks)) {
    traceTimer_.setInterval(std::chrono::seconds(10));
    QObject::connect(&traceTimer_, &QTimer::timeout, &context_, [this] { traceFrames(); });
}

MpvQuickRenderer::~MpvQuickRenderer() {
    detach();
    freeContext();
    disconnectWindow();
}

void MpvQuickRenderer::attach(mpv_handle* mpv) {
    mpv_ = mpv;
    attached_ = true;
    drawing_->setEngine(
        mpv, MpvQuickDrawing::Hooks{
                 .made =
                     [this](bool again) {
                         QMetaObject::invokeMethod(
                             &context_, [this, again] { madeContext(again); },
                             Qt::QueuedConnection);
                     },
                 .failed =
                     [this](const std::string& why) {
                         QMetaObject::invokeMethod(
                             &context_, [this, why] { hooks_.failed(why); }, Qt::QueuedConnection);
                     },
                 .frameWanted =
                     [this] {
                         QMetaObject::invokeMethod(
                             &context_, [this] { requestUpdate(); }, Qt::QueuedConnection);
                     },
             });
    if (view_) view_->setRenderer(this);  // tells the window it is in, if any
    if (traceEnabled()) {
        drawing_->takeFramesShown();
        tallySince_ = std::chrono::steady_clock::now();
        traceTimer_.start();
    }
}

// With --verbose, every 10 s: the frames that reached the window (benchmarks read it).
void MpvQuickRenderer::traceFrames() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - tallySince_).count();
    tallySince_ = now;
    const long frames = drawing_->takeFramesShown();
    if (frames == 0) return;  // nothing playing
    char line[80];
    std::snprintf(line, sizeof line, "Video frames: %.1f/s shown", frames / seconds);
    traceLine(line);
}

void MpvQuickRenderer::detach() {
    attached_ = false;
    traceTimer_.stop();
    drawing_->setEngine(nullptr, {});
    if (view_) view_->setRenderer(nullptr);
}

void MpvQuickRenderer::freeContext() {
    if (!drawing_->hasRender()) return;
    if (window_ && window_->isSceneGraphInitialized()) {
        auto latch = std::make_shared<Latch>();
        window_->scheduleRenderJob(new FreeJob(drawing_, latch), QQuickWindow::NoStage);
        latch->waitFor(kFreeWait);
    }
    if (drawing_->hasRender()) drawing_->freeInOwnContext();
}

void MpvQuickRenderer::windowChanged(QQuickWindow* window) {
    if (window == window_) {
        requestUpdate();
        return;
    }
    // The render context belongs to the old window's GL context; the new window's render
    // thread makes another. The old one must not make a new one meanwhile.
    drawing_->setWindow(nullptr);
    freeContext();
    disconnectWindow();
    connectWindow(window);
}

void MpvQuickRenderer::connectWindow(QQuickWindow* window) {
    window_ = window;
    drawing_->setWindow(window);
    if (!window) return;
    std::shared_ptr<MpvQuickDrawing> drawing = drawing_;
    // The sync runs while the main thread waits: the view may be read then.
    connections_.push_back(QObject::connect(
        window, &QQuickWindow::beforeSynchronizing, &context_,
        [this, drawing] { drawing->synchronize(frameOfView()); }, Qt::DirectConnection));
    connections_.push_back(QObject::connect(
        window, &QQuickWindow::beforeRenderPassRecording, &context_,
        [drawing, window] { drawing->draw(*window); }, Qt::DirectConnection));
    connections_.push_back(QObject::connect(
        window, &QQuickWindow::frameSwapped, &context_, [drawing] { drawing->swapped(); },
        Qt::DirectConnection));
    // The window's GL context goes (the window closes): the render context goes first.
    connections_.push_back(QObject::connect(
        window, &QQuickWindow::sceneGraphInvalidated, &context_, [drawing] { drawing->free(); },
        Qt::DirectConnection));
    requestUpdate();
}

void MpvQuickRenderer::disconnectWindow() {
    for (const QMetaObject::Connection& connection : connections_) QObject::disconnect(connection);
    connections_.clear();
    window_ = nullptr;
    drawing_->setWindow(nullptr);
}

MpvQuickDrawing::Frame MpvQuickRenderer::frameOfView() const {
    MpvQuickDrawing::Frame frame;
    if (!view_ || !window_ || view_->window() != window_) return frame;
    const qreal ratio = window_->effectiveDevicePixelRatio();
    frame.visible = view_->isVisible();
    frame.rect = QRectF(view_->mapRectToScene(view_->boundingRect()).topLeft() * ratio,
                        view_->size() * ratio)
                     .toAlignedRect();
    frame.windowSize = (QSizeF(window_->size()) * ratio).toSize();
    frame.back = view_->backColor();
    frame.picture = attached_ && hooks_.hasPicture && hooks_.hasPicture();
    return frame;
}

void MpvQuickRenderer::requestUpdate() {
    if (window_) window_->update();
}

void MpvQuickRenderer::madeContext(bool again) {
    if (attached_) hooks_.contextMade(again);
}

void MpvQuickRenderer::viewSettingsChanged() {
    requestUpdate();
    if (attached_ && hooks_.settingsChanged) hooks_.settingsChanged();
}

void MpvQuickRenderer::viewDestroyed() {
    view_ = nullptr;
    windowChanged(nullptr);
}

}  // namespace lirra
