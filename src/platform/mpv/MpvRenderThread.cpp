#include "MpvRenderThread.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <atomic>

namespace lirra {
namespace {

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

}  // namespace

// Everything that touches the render context, on the render thread.
class MpvRenderThread::Worker : public QObject {
  public:
    Worker(MpvRenderThread& owner, mpv_handle* mpv, const NativeDisplay& display)
        : owner_(owner), mpv_(mpv), display_(display) {}

    void start() {
        QOpenGLContext& gl = *owner_.context_;
        if (!gl.makeCurrent(owner_.surface_.get())) {
            tellMain([&o = owner_] { o.hooks_.failed("mpv: no GL context for the video thread"); });
            return;
        }
        mpv_opengl_init_params glInit{&glProcAddress, nullptr};
        std::vector<mpv_render_param> params = renderContextParams(&glInit, display_);
        if (const int error = mpv_render_context_create(&render_, mpv_, params.data()); error < 0) {
            render_ = nullptr;
            const std::string why =
                std::string("mpv: no render context: ") + mpv_error_string(error);
            tellMain([&o = owner_, why] { o.hooks_.failed(why); });
            return;
        }
        mpv_render_context_set_update_callback(render_, &Worker::onUpdate, this);
        tellMain([&o = owner_] { o.hooks_.started(); });
    }

    // Whether mpv has something new, and a frame to draw if the view took the last one.
    void update() {
        updatePosted_ = false;
        if (!render_) return;
        if (!(mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME)) return;
        bool viewBusy = false;
        {
            std::lock_guard lock(owner_.mutex_);
            Shared& s = owner_.shared_;
            s.frameDue = true;
            viewBusy = (s.published >= 0 && !s.taken) || s.composing;
        }
        if (viewBusy) {
            // The view has not taken the last frame, or the window is being composed: this one
            // is passed over, undrawn, so that mpv's clock (the pages' time) keeps going; the
            // view gets the frame current then.
            render(nullptr);
        } else {
            drawIfDue();
        }
    }

    void drawIfDue() {
        if (!render_) return;
        int target = 0;
        QSize size;
        {
            std::lock_guard lock(owner_.mutex_);
            Shared& s = owner_.shared_;
            if (!s.frameDue || s.composing || (s.published >= 0 && !s.taken)) return;
            // Never the texture the view may be reading: the other one.
            target = s.published < 0 ? 0 : 1 - s.published;
            size = s.wanted.isEmpty() ? QSize(640, 360) : s.wanted;
        }
        auto& fbo = fbos_[static_cast<std::size_t>(target)];
        if (!fbo || fbo->size() != size) {
            fbo.reset();  // the view never reads this texture while it is replaced
            fbo = std::make_unique<QOpenGLFramebufferObject>(size);
        }
        render(fbo.get());
        owner_.context_->functions()->glFinish();  // complete before the view reads it
        {
            std::lock_guard lock(owner_.mutex_);
            Shared& s = owner_.shared_;
            s.published = target;
            s.taken = false;
            s.frameDue = false;
            s.textures[static_cast<std::size_t>(target)] = fbo->texture();
            s.sizes[static_cast<std::size_t>(target)] = size;
        }
        tellMain([&o = owner_] { o.hooks_.frameReady(); });
    }

    // Draws the current frame into `fbo`, or (none) passes it over. Either way mpv is told at
    // once that it was shown: its frames must not wait for the view, which is paced.
    void render(QOpenGLFramebufferObject* fbo) {
        const QSize size = fbo ? fbo->size() : QSize(1, 1);
        mpv_opengl_fbo out{fbo ? static_cast<int>(fbo->handle()) : 0, size.width(), size.height(),
                           0};
        int flipY = 1;               // read bottom-up, as Qt's framebuffers are
        int blockForTargetTime = 0;  // a frame shows once the view composes, not before
        int skip = fbo ? 0 : 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &out},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(render_, params);
        mpv_render_context_report_swap(render_);
    }

    void stop(QThread* mainThread) {
        if (render_) {
            owner_.context_->makeCurrent(owner_.surface_.get());
            mpv_render_context_set_update_callback(render_, nullptr, nullptr);
            mpv_render_context_free(render_);
            render_ = nullptr;
        }
        for (auto& fbo : fbos_) fbo.reset();
        owner_.context_->doneCurrent();
        owner_.context_->moveToThread(mainThread);
    }

  private:
    // On one of mpv's threads: only posts.
    static void onUpdate(void* self) {
        auto* worker = static_cast<Worker*>(self);
        if (worker->updatePosted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            worker, [worker] { worker->update(); }, Qt::QueuedConnection);
    }

    template <typename Work>
    void tellMain(Work work) {
        QMetaObject::invokeMethod(&owner_.mainContext_, std::move(work), Qt::QueuedConnection);
    }

    MpvRenderThread& owner_;
    mpv_handle* mpv_;
    const NativeDisplay& display_;
    mpv_render_context* render_ = nullptr;
    std::array<std::unique_ptr<QOpenGLFramebufferObject>, 2> fbos_;
    std::atomic<bool> updatePosted_{false};
};

MpvRenderThread::MpvRenderThread(mpv_handle* mpv, const NativeDisplay& display, Hooks hooks)
    : hooks_(std::move(hooks)) {
    thread_.setObjectName(QStringLiteral("lirra video"));
    QOpenGLContext* share = QOpenGLContext::globalShareContext();
    surface_ = std::make_unique<QOffscreenSurface>();
    surface_->setFormat(share ? share->format() : QSurfaceFormat::defaultFormat());
    surface_->create();
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(surface_->format());
    context_->setShareContext(share);
    // The view reads the textures in a context of its own: they must be shared.
    if (!share || !context_->create()) {
        QMetaObject::invokeMethod(
            &mainContext_, [this] { hooks_.failed("mpv: no shared GL context for the video"); },
            Qt::QueuedConnection);
        return;
    }
    context_->moveToThread(&thread_);
    worker_ = new Worker(*this, mpv, display);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->start(); }, Qt::QueuedConnection);
}

MpvRenderThread::~MpvRenderThread() {
    if (worker_) {
        QThread* main = QThread::currentThread();
        QMetaObject::invokeMethod(
            worker_, [w = worker_, main] { w->stop(main); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    context_.reset();
    surface_.reset();
}

bool MpvRenderThread::drawNewest(QSize size, const std::function<void(unsigned, QSize)>& draw) {
    std::lock_guard lock(mutex_);
    if (shared_.wanted != size) {
        shared_.wanted = size;
        shared_.frameDue = true;  // the current frame again, at the new size
    }
    if (shared_.published < 0) return false;
    const auto index = static_cast<std::size_t>(shared_.published);
    shared_.taken = true;
    shared_.composing = true;
    // Under the lock: the thread publishes nothing into this texture meanwhile.
    draw(shared_.textures[index], shared_.sizes[index]);
    return true;
}

void MpvRenderThread::viewComposed() {
    {
        std::lock_guard lock(mutex_);
        shared_.composing = false;
    }
    if (!worker_) return;
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->drawIfDue(); }, Qt::QueuedConnection);
}

void MpvRenderThread::forgetFrame() {
    std::lock_guard lock(mutex_);
    shared_.published = -1;
    shared_.taken = true;
    shared_.composing = false;
}

}  // namespace lirra
