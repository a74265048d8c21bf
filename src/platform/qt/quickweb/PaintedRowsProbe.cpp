// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaintedRowsProbe.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QSGNode>
#include <QSGTexture>
#include <QSGTextureProvider>

namespace lirra {

namespace {

// The rows of `texture` that hold anything; every row when they cannot be read.
std::vector<RowSpan> readSpans(QSGTexture& texture) {
    const QSize size = texture.textureSize();
    const std::vector<RowSpan> everything{RowSpan{0, std::max(0, size.height())}};
    QOpenGLContext* context = QOpenGLContext::currentContext();
    auto* native = texture.nativeInterface<QNativeInterface::QSGOpenGLTexture>();
    if (!context || !native || size.isEmpty()) return everything;
    QOpenGLExtraFunctions& gl = *context->extraFunctions();
    GLint previous = 0;
    gl.glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    GLuint framebuffer = 0;
    gl.glGenFramebuffers(1, &framebuffer);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                              native->nativeTexture(), 0);
    std::vector<RowSpan> spans = everything;
    if (gl.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        std::vector<std::uint8_t> pixels(std::size_t(size.width()) * size.height() * 4);
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl.glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                        pixels.data());
        spans = paintedRows(pixels.data(), size.width(), size.height(), size.width() * 4, 1);
    }
    gl.glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    gl.glDeleteFramebuffers(1, &framebuffer);
    return spans;
}

// Draws nothing. In its preprocess (render thread, before the frame is drawn) it first reads
// the copy drawn in the previous frame (the GL commands of a frame run when it ends), then has
// the copy drawn anew if the page changed.
class ProbeNode : public QSGNode {
  public:
    using Deliver = std::function<void(std::vector<RowSpan>, int rows)>;
    explicit ProbeNode(Deliver deliver) : deliver_(std::move(deliver)) { setFlag(UsePreprocess); }

    void setTexture(QSGTexture* texture) {
        if (texture != texture_) readNext_ = false;
        texture_ = texture;
    }

    void preprocess() override {
        if (!texture_) return;
        if (readNext_) {
            readNext_ = false;
            deliver_(readSpans(*texture_), texture_->textureSize().height());
        }
        auto* dynamic = qobject_cast<QSGDynamicTexture*>(texture_);
        if (dynamic && dynamic->updateTexture()) {
            readNext_ = true;
            deliver_({}, -1);  // asks for the next frame, where it is read
        }
    }

  private:
    Deliver deliver_;
    QSGTexture* texture_ = nullptr;
    bool readNext_ = false;
};

}  // namespace

PaintedRowsProbe::PaintedRowsProbe(QQuickItem* parent, Found found, std::function<void()> changed)
    : QQuickItem(parent), found_(std::move(found)), changed_(std::move(changed)) {
    setFlag(ItemHasContents);
    setSize(QSizeF(1, 1));
}

void PaintedRowsProbe::setSource(QQuickItem* source) {
    source_ = source;
    update();
}

void PaintedRowsProbe::deliver(const std::vector<RowSpan>& spans, int rows) {
    if (rows < 0) {
        update();  // the copy was drawn: read it in the next frame
        if (changed_) changed_();
        return;
    }
    std::vector<std::pair<double, double>> found;
    for (const RowSpan& span : spans) {
        if (rows > 0) found.emplace_back(double(span.top) / rows, double(span.bottom) / rows);
    }
    if (found_) found_(found);
}

QSGNode* PaintedRowsProbe::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    QSGTextureProvider* provider =
        source_ && source_->isTextureProvider() ? source_->textureProvider() : nullptr;
    QSGTexture* texture = provider ? provider->texture() : nullptr;
    if (!texture) {
        delete old;
        return nullptr;
    }
    auto* node = static_cast<ProbeNode*>(old);
    if (!node) {
        // The render thread hands its findings over to the main thread through a guard: the
        // item may be gone by then.
        node = new ProbeNode(
            [item = QPointer<PaintedRowsProbe>(this)](std::vector<RowSpan> spans, int rows) {
                QMetaObject::invokeMethod(
                    qApp,
                    [item, spans = std::move(spans), rows] {
                        if (item) item->deliver(spans, rows);
                    },
                    Qt::QueuedConnection);
            });
    }
    node->setTexture(texture);
    return node;
}

}  // namespace lirra
