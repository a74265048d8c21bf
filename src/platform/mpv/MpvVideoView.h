// The widget libmpv draws into: an OpenGL widget that lends its GL context to the player's
// render context and paints the back colour wherever the player has no picture.
#pragma once

#include <QOpenGLWidget>

#include "MpvVideoOutput.h"
#include "platform/qt/WidgetBacked.h"

namespace lirra {

class MpvVideoView : public QOpenGLWidget, public MpvVideoSurface, public WidgetBacked {
  public:
    // The engine's side of the view (the player's render glue). Every call comes on the main
    // thread with the view's GL context current.
    class Renderer {
      public:
        virtual void glInitialized() = 0;         // the GL context exists (again)
        virtual void glAboutToBeDestroyed() = 0;  // last chance to free GL resources
        // Draws into `fbo` (device pixels); false when there is nothing to draw.
        virtual bool render(int fbo, int width, int height) = 0;
        virtual void frameSwapped() = 0;
        virtual void viewSettingsChanged() = 0;  // back colour or fill mode
        virtual void viewDestroyed() = 0;        // called without a GL context

      protected:
        ~Renderer() = default;
    };

    explicit MpvVideoView(QWidget* parent = nullptr);
    ~MpvVideoView() override;

    // At most one renderer; nullptr detaches. If the GL context is ready, glInitialized()
    // is called at once.
    void setRenderer(Renderer* renderer);
    bool isGlInitialized() const { return glInitialized_; }

    // Runs `work` with the view's GL context current (no-op without a context).
    template <typename Work>
    void withGlContext(Work&& work) {
        if (!glInitialized_) return;
        makeCurrent();
        work();
        doneCurrent();
    }

    // View
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override { return QWidget::isHidden(); }
    void setHidden(bool hidden) override { QWidget::setHidden(hidden); }

    // VideoView
    void setFillScreen(bool fill) override;
    void setBackColor(const Color& color) override;
    Color backColor() const override { return backColor_; }

    // MpvVideoSurface
    bool fillScreen() const override { return fillScreen_; }
    std::unique_ptr<MpvVideoOutput> makeOutput(MpvVideoOutput::Hooks hooks) override;

    // WidgetBacked
    QWidget* widget() override { return this; }

  protected:
    void initializeGL() override;
    void paintGL() override;

  private:
    void clearToBackColor();
    double containerHeight() const;

    Renderer* renderer_ = nullptr;
    bool glInitialized_ = false;
    bool fillScreen_ = false;
    Color backColor_{0, 0, 0, 1};
};

}  // namespace lirra
