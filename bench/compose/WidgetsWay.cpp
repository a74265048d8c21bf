// The product's way: the engine's video view (a QOpenGLWidget fed by the video thread) with a
// transparent QWebEngineView stacked over it; Qt's widget compositor joins them every frame.
#include <QStackedLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include "Way.h"
#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"

namespace {

class WidgetsWay final : public Way {
  public:
    WidgetsWay(const QString& file, const QUrl& page, bool withPage,
               std::function<void()> firstFrame)
        : video_(new lirra::MpvVideoView(&window_)), player_(*video_, center_) {
        auto* stack = new QStackedLayout(&window_);
        stack->setStackingMode(QStackedLayout::StackAll);
        stack->addWidget(video_);
        if (withPage) {
            web_ = new QWebEngineView(&window_);
            web_->page()->setBackgroundColor(Qt::transparent);
            stack->addWidget(web_);
            web_->raise();
            web_->load(page);
        }
        window_.resize(1280, 720);
        window_.show();
        QObject::connect(video_, &QOpenGLWidget::frameSwapped, video_,
                         [this, firstFrame = std::move(firstFrame)] {
                             if (player_.state() != lirra::kMediaPlayerStatePlaying) return;
                             if (shown_++ == 0) firstFrame();
                         });
        player_.setMedia({lirra::Media::Kind::Path, file});
        player_.setVolume(200);
        player_.play();
    }

    long framesShown() const override { return shown_; }
    std::string engineDrops() const override {
        return player_.engineProperty("frame-drop-count").value_or("?");
    }
    long long videoMs() const override { return player_.time().value_or(-1); }
    void runScript(const QString& script) override {
        if (web_) web_->page()->runJavaScript(script);
    }

  private:
    QWidget window_;
    lirra::NotificationCenter center_;
    lirra::MpvVideoView* video_;
    QWebEngineView* web_ = nullptr;
    lirra::MpvMediaPlayer player_;
    long shown_ = 0;
};

}  // namespace

std::unique_ptr<Way> makeWidgetsWay(const QString& file, const QUrl& page, bool withPage,
                                    std::function<void()> firstFrame) {
    return std::make_unique<WidgetsWay>(file, page, withPage, std::move(firstFrame));
}
