#include "MpvVideoView.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <cmath>

#include "MpvRenderGlue.h"

namespace lirra {

MpvVideoView::MpvVideoView(QWidget* parent) : QOpenGLWidget(parent) {
    // The picture is drawn by mpv; nothing behind the widget needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        if (renderer_) renderer_->frameSwapped();
    });
}

MpvVideoView::~MpvVideoView() {
    // A renderer still attached (the player should have gone first) frees its GL resources
    // while the context is alive, then forgets this view.
    if (renderer_) {
        Renderer* renderer = renderer_;
        renderer_ = nullptr;
        withGlContext([renderer] { renderer->glAboutToBeDestroyed(); });
        renderer->viewDestroyed();
    }
    // The base class destroys the context after this object's members are gone.
    if (context()) disconnect(context(), nullptr, this, nullptr);
}

std::unique_ptr<MpvVideoOutput> MpvVideoView::makeOutput(MpvVideoOutput::Hooks hooks) {
    return std::make_unique<MpvRenderGlue>(*this, std::move(hooks));
}

void MpvVideoView::setRenderer(Renderer* renderer) {
    renderer_ = renderer;
    if (renderer_ && glInitialized_) withGlContext([this] { renderer_->glInitialized(); });
    update();
}

void MpvVideoView::initializeGL() {
    glInitialized_ = true;
    // Qt replaces the context when the widget moves to another top-level window; the render
    // context must go with the old one.
    connect(
        context(), &QOpenGLContext::aboutToBeDestroyed, this,
        [this] {
            if (renderer_) withGlContext([this] { renderer_->glAboutToBeDestroyed(); });
            glInitialized_ = false;
        },
        Qt::DirectConnection);
    if (renderer_) renderer_->glInitialized();
}

void MpvVideoView::paintGL() {
    const qreal ratio = devicePixelRatioF();
    const int width = static_cast<int>(std::lround(this->width() * ratio));
    const int height = static_cast<int>(std::lround(this->height() * ratio));
    if (renderer_ &&
        renderer_->render(static_cast<int>(defaultFramebufferObject()), width, height)) {
        return;
    }
    clearToBackColor();
}

void MpvVideoView::clearToBackColor() {
    QOpenGLFunctions* gl = context()->functions();
    gl->glClearColor(static_cast<float>(backColor_.red), static_cast<float>(backColor_.green),
                     static_cast<float>(backColor_.blue), static_cast<float>(backColor_.alpha));
    gl->glClear(GL_COLOR_BUFFER_BIT);
}

void MpvVideoView::setFillScreen(bool fill) {
    if (fill == fillScreen_) return;
    fillScreen_ = fill;
    if (renderer_) renderer_->viewSettingsChanged();
    update();
}

void MpvVideoView::setBackColor(const Color& color) {
    if (color == backColor_) return;
    backColor_ = color;
    if (renderer_) renderer_->viewSettingsChanged();
    update();
}

double MpvVideoView::containerHeight() const {
    if (const QWidget* parent = parentWidget()) return parent->height();
    if (const QScreen* screen = this->screen()) return screen->geometry().height();
    return 0;
}

// Frames are lower-left based; Qt's geometry is upper-left based within the parent.
Rect MpvVideoView::frame() const {
    const QRect g = geometry();
    return Rect{{static_cast<double>(g.x()), containerHeight() - g.y() - g.height()},
                {static_cast<double>(g.width()), static_cast<double>(g.height())}};
}

void MpvVideoView::setFrame(const Rect& frame) {
    const int x = static_cast<int>(std::lround(frame.origin.x));
    const int width = static_cast<int>(std::lround(frame.size.width));
    const int height = static_cast<int>(std::lround(frame.size.height));
    const int y = static_cast<int>(std::lround(containerHeight() - frame.origin.y)) - height;
    setGeometry(x, y, width, height);
}

}  // namespace lirra
