// QtWebView through the WebView cases shared with the Qt Quick view (WebViewCases.h).
#include <QKeyEvent>
#include <QMimeData>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <memory>

#include "WebViewCases.h"
#include "platform/qt/widgets/QtWebView.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;

// Counts the key presses that reach it from its children.
class KeyCountingWidget : public QWidget {
  public:
    int keys = 0;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++keys;
        event->accept();
    }
};

class WidgetHarness {
  public:
    explicit WidgetHarness(NotificationCenter& center)
        : view_(std::make_unique<QtWebView>(center)) {}

    QtWebView& view() { return *view_; }

    void show() {
        window_.resize(400, 300);
        auto* layout = new QVBoxLayout(&window_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view_->widget());
        window_.show();
    }

    int parentKeys() const { return window_.keys; }

    // Sent to the widget that gets real drops.
    bool drop(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const auto actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target(), &enter);
        QDropEvent drop(QPointF(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target(), &drop);
        test::runEventLoopFor(50ms);
        return drop.isAccepted();
    }

    void keyClick(Qt::Key key) {
        target()->setFocus();
        QTest::keyClick(target(), key);
    }

    void click(QPoint at) { QTest::mouseClick(target(), Qt::LeftButton, Qt::NoModifier, at); }

    void destroyView() { view_.reset(); }

  private:
    QWidget* target() { return view_->engineView()->focusProxy(); }

    KeyCountingWidget window_;
    std::unique_ptr<QtWebView> view_;
};

}  // namespace

namespace test {
INSTANTIATE_TYPED_TEST_SUITE_P(Widgets, WebViewTest, ::testing::Types<WidgetHarness>);
}  // namespace test

}  // namespace lirra
