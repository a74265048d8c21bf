// Qt Quick's scene graph: libmpv draws each frame straight into the window's own framebuffer at
// the start of the scene graph's render pass (on Quick's render thread), and Qt WebEngine's Quick
// view, transparent, is the only item drawn over it. No texture in between, no second compositor.
#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <atomic>
#include <clocale>

#include "MpvObserver.h"
#include "Way.h"
#include "platform/mpv/MpvEngineOptions.h"

namespace {

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

class QuickWay final : public Way {
  public:
    QuickWay(const QString& file, const QUrl& page, bool withPage, bool band,
             std::function<void()> firstFrame)
        : file_(file), firstFrame_(std::move(firstFrame)) {
        std::string error;
        mpv_ = lirra::startEngine(lirra::MpvEngineSettings{}, &error);
        if (!mpv_) qFatal("%s", error.c_str());
        observer_ = std::make_unique<MpvObserver>(mpv_);
        view_.setColor(Qt::black);
        view_.setResizeMode(QQuickView::SizeRootObjectToView);
        view_.rootContext()->setContextProperty("pageUrl", withPage ? page : QUrl());
        view_.setSource(QUrl(!withPage ? "qrc:/compose/empty.qml"
                             : band    ? "qrc:/compose/quickband.qml"
                                       : "qrc:/compose/quick.qml"));
        // Quick's render thread: make the render context with the scene graph's context, draw
        // under every item, and tell mpv when the frame went out.
        QObject::connect(
            &view_, &QQuickWindow::sceneGraphInitialized, &view_, [this] { createRender(); },
            Qt::DirectConnection);
        QObject::connect(
            &view_, &QQuickWindow::beforeRenderPassRecording, &view_, [this] { drawVideo(); },
            Qt::DirectConnection);
        QObject::connect(
            &view_, &QQuickWindow::frameSwapped, &view_,
            [this] {
                if (render_) mpv_render_context_report_swap(render_);
            },
            Qt::DirectConnection);
        view_.resize(1280, 720);
        view_.show();
    }

    ~QuickWay() override {
        // Quitting: the render thread may still hold the context; the process ends next.
        mpv_terminate_destroy(mpv_);
    }

    long framesShown() const override { return shown_.load(); }
    std::string engineDrops() const override { return observer_->drops(); }
    long long videoMs() const override { return observer_->videoMs(); }
    void runScript(const QString& script) override {
        QQuickItem* web =
            view_.rootObject() ? view_.rootObject()->findChild<QQuickItem*>("web") : nullptr;
        if (web) QMetaObject::invokeMethod(web, "runJavaScript", Q_ARG(QString, script));
    }

  private:
    void createRender() {
        mpv_opengl_init_params gl{&glProcAddress, nullptr};
        int advanced = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
            {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_create(&render_, mpv_, params) < 0) qFatal("no render context");
        mpv_render_context_set_update_callback(
            render_,
            [](void* self) {
                auto* way = static_cast<QuickWay*>(self);
                QMetaObject::invokeMethod(
                    &way->view_, [way] { way->view_.update(); }, Qt::QueuedConnection);
            },
            this);
        QMetaObject::invokeMethod(&view_, [this] {
            const QByteArray path = file_.toUtf8();
            const char* command[] = {"loadfile", path.constData(), nullptr};
            mpv_command(mpv_, command);
        });
    }

    void drawVideo() {
        if (!render_) return;
        const bool newFrame = mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME;
        view_.beginExternalCommands();
        // The page's layer is drawn in a pass of its own before this one; libmpv expects the
        // state it would find in a fresh context.
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        gl->glDisable(GL_SCISSOR_TEST);
        gl->glDisable(GL_DEPTH_TEST);
        gl->glDisable(GL_STENCIL_TEST);
        gl->glDisable(GL_CULL_FACE);
        gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        const GLuint fboId = QOpenGLContext::currentContext()->defaultFramebufferObject();
        gl->glBindFramebuffer(GL_FRAMEBUFFER, fboId);
        const qreal ratio = view_.devicePixelRatio();
        mpv_opengl_fbo fbo{static_cast<int>(fboId), static_cast<int>(view_.width() * ratio),
                           static_cast<int>(view_.height() * ratio), 0};
        int flipY = 1;
        int block = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(render_, params);
        resetGlState();
        view_.endExternalCommands();
        if (newFrame && shown_++ == 0 && firstFrame_) {
            QMetaObject::invokeMethod(&view_, firstFrame_);
        }
    }

    // What libmpv leaves behind that Qt's renderer neither resets nor expects (a stale error
    // among them fails its next offscreen pass, and the window stays black).
    static void resetGlState() {
        QOpenGLExtraFunctions* gl = QOpenGLContext::currentContext()->extraFunctions();
        gl->glBindVertexArray(0);
        gl->glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
        gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        gl->glUseProgram(0);
        gl->glActiveTexture(GL_TEXTURE0);
        for (int i = 0; i < 16 && gl->glGetError() != GL_NO_ERROR; ++i) {
        }
    }

    QString file_;
    std::function<void()> firstFrame_;
    mpv_handle* mpv_ = nullptr;
    std::unique_ptr<MpvObserver> observer_;
    mpv_render_context* render_ = nullptr;
    QQuickView view_;
    std::atomic<long> shown_{0};
};

}  // namespace

std::unique_ptr<Way> makeQuickWay(const QString& file, const QUrl& page, bool withPage, bool band,
                                  std::function<void()> firstFrame) {
    return std::make_unique<QuickWay>(file, page, withPage, band, std::move(firstFrame));
}
