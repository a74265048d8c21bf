// Qt Quick's scene graph with the video in a framebuffer item: libmpv draws each frame into the
// item's framebuffer on Quick's render thread; the scene graph draws that texture and, over it,
// Qt WebEngine's Quick view in a layer (its frames come as a texture whose alpha the scene graph
// would ignore; the layer keeps it and is blended).
#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QQmlContext>
#include <QQuickFramebufferObject>
#include <QQuickView>
#include <QQuickWindow>
#include <atomic>

#include "MpvObserver.h"
#include "Way.h"
#include "platform/mpv/MpvEngineOptions.h"

namespace {

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

mpv_handle* gMpv = nullptr;
QString gFile;
std::atomic<long> gShown{0};
std::function<void()> gFirstFrame;

// What libmpv leaves behind that Qt's renderer neither resets nor expects: without this, the
// first offscreen pass after a video frame (the page's layer) fails and the window stays black.
void resetGlState() {
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

class MpvItem : public QQuickFramebufferObject {
  public:
    class Renderer : public QQuickFramebufferObject::Renderer {
      public:
        explicit Renderer(MpvItem* item) : item_(item) {
            mpv_opengl_init_params gl{&glProcAddress, nullptr};
            int advanced = 1;
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
                {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
                {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            if (mpv_render_context_create(&render_, gMpv, params) < 0) qFatal("no render context");
            mpv_render_context_set_update_callback(
                render_,
                [](void* self) {
                    auto* item = static_cast<MpvItem*>(self);
                    QMetaObject::invokeMethod(
                        item, [item] { item->update(); }, Qt::QueuedConnection);
                },
                item_);
            QMetaObject::invokeMethod(item_, [] {
                const QByteArray path = gFile.toUtf8();
                const char* command[] = {"loadfile", path.constData(), nullptr};
                mpv_command(gMpv, command);
            });
        }

        void render() override {
            const bool newFrame = mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME;
            QOpenGLFramebufferObject* target = framebufferObject();
            mpv_opengl_fbo fbo{static_cast<int>(target->handle()), target->width(),
                               target->height(), 0};
            int block = 0;
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            item_->window()->beginExternalCommands();
            mpv_render_context_render(render_, params);
            resetGlState();
            item_->window()->endExternalCommands();
            mpv_render_context_report_swap(render_);
            if (newFrame && gShown++ == 0 && gFirstFrame) {
                QMetaObject::invokeMethod(item_, gFirstFrame);
            }
        }

      private:
        MpvItem* item_;
        mpv_render_context* render_ = nullptr;
    };

    MpvItem() = default;
    QQuickFramebufferObject::Renderer* createRenderer() const override {
        return new Renderer(const_cast<MpvItem*>(this));
    }
};

class QuickFboWay final : public Way {
  public:
    QuickFboWay(const QString& file, const QUrl& page, bool withPage,
                std::function<void()> firstFrame) {
        std::string error;
        gMpv = lirra::startEngine(lirra::MpvEngineSettings{}, &error);
        if (!gMpv) qFatal("%s", error.c_str());
        observer_ = std::make_unique<MpvObserver>(gMpv);
        gFile = file;
        gFirstFrame = std::move(firstFrame);
        qmlRegisterType<MpvItem>("Spike", 1, 0, "MpvItem");
        view_.setColor(Qt::black);
        view_.setResizeMode(QQuickView::SizeRootObjectToView);
        view_.rootContext()->setContextProperty("pageUrl", withPage ? page : QUrl());
        view_.setSource(QUrl("qrc:/compose/quickfbo.qml"));
        view_.resize(1280, 720);
        view_.show();
    }

    long framesShown() const override { return gShown.load(); }
    std::string engineDrops() const override { return observer_->drops(); }
    long long videoMs() const override { return observer_->videoMs(); }
    void runScript(const QString& script) override {
        QQuickItem* web =
            view_.rootObject() ? view_.rootObject()->findChild<QQuickItem*>("web") : nullptr;
        if (web) QMetaObject::invokeMethod(web, "runJavaScript", Q_ARG(QString, script));
    }

  private:
    std::unique_ptr<MpvObserver> observer_;
    QQuickView view_;
};

}  // namespace

std::unique_ptr<Way> makeQuickFboWay(const QString& file, const QUrl& page, bool withPage,
                                     std::function<void()> firstFrame) {
    return std::make_unique<QuickFboWay>(file, page, withPage, std::move(firstFrame));
}
