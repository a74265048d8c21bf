// QuickWebView in a Qt Quick window: the WebView cases shared with the widget view
// (WebViewCases.h), then what only a view in a scene shows: the colour beneath a transparent
// page, downloads through the Quick profile, one storage for every view.
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "QuickWebTestMain.h"
#include "WebViewCases.h"
#include "platform/qt/quickweb/QuickWebView.h"
#include "platform/qt/webcommon/Downloads.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;

// Counts the key presses that reach it from its children.
class KeyCountingItem : public QQuickItem {
  public:
    int keys = 0;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++keys;
        event->accept();
    }
};

// Beneath the view: a rectangle on the left half, and on the right the window's own colour,
// drawn into the framebuffer before the scene as the video is.
constexpr QRgb kRectangle = qRgb(255, 0, 255);
constexpr QRgb kWindow = qRgb(0, 255, 255);

// The view's item in a 400×300 window, over those, inside an item that counts the keys it
// gets.
class QuickHarness {
  public:
    explicit QuickHarness(NotificationCenter& center)
        : view_(std::make_unique<QuickWebView>(center, engine_)) {}

    QuickWebView& view() { return *view_; }

    void show() {
        window_.resize(400, 300);
        window_.setColor(QColor(kWindow));
        QQmlComponent rectangle(&engine_);
        rectangle.setData("import QtQuick\nRectangle { color: '#ff00ff' }", QUrl());
        auto* beneath = qobject_cast<QQuickItem*>(rectangle.create());
        ASSERT_NE(beneath, nullptr) << rectangle.errorString().toStdString();
        beneath->setParent(window_.contentItem());
        beneath->setParentItem(window_.contentItem());
        beneath->setSize(QSizeF(200, 300));
        keys_.setParentItem(beneath);
        keys_.setSize(QSizeF(400, 300));
        view_->item()->setParentItem(&keys_);
        view_->setFrame(Rect{{0, 0}, {400, 300}});
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        view_->item()->forceActiveFocus();
    }

    int parentKeys() const { return keys_.keys; }

    // Sent to the window, which hands drags to the items under them.
    bool drop(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const auto actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window_, &enter);
        QDropEvent drop(QPointF(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window_, &drop);
        test::runEventLoopFor(50ms);
        return drop.isAccepted();
    }

    void keyClick(Qt::Key key) { QTest::keyClick(&window_, key); }
    void click(QPoint at) { QTest::mouseClick(&window_, Qt::LeftButton, Qt::NoModifier, at); }
    QImage grab() { return window_.grabWindow(); }
    QQmlEngine& engine() { return engine_; }
    void destroyView() { view_.reset(); }

  private:
    QQmlEngine engine_;
    QQuickWindow window_;
    KeyCountingItem keys_;
    std::unique_ptr<QuickWebView> view_;
};

// What only the Quick view needs showing, on the shared fixture.
class QuickWebViewTest : public test::WebViewTest<QuickHarness> {
  protected:
    void SetUp() override {
        server.page("/page/painted",
                    R"(<!DOCTYPE html><body style="margin:0;background:transparent">
<div style="width:100px;height:100px;background:#008000"></div>
<div style="width:100px;height:100px;background:#00000080"></div></body>)");
        server.page("/export", kExported);
        server.page("/page/save", R"(<!DOCTYPE html><body>
<a id="save" href="/export" download="lirra-notebook.txt">Export</a></body>)");
        WebViewTest::SetUp();
    }

    // Whether the window shows `expected` at `at` within a few seconds (the engine's frames
    // reach the scene a little after the page painted them).
    bool shows(QPoint at, QRgb expected) {
        QRgb seen = 0;
        const bool matched = test::runEventLoopUntil(
            [&] {
                seen = harness.grab().pixel(at);
                return qAbs(qRed(seen) - qRed(expected)) < 8 &&
                       qAbs(qGreen(seen) - qGreen(expected)) < 8 &&
                       qAbs(qBlue(seen) - qBlue(expected)) < 8;
            },
            5s);
        if (!matched) ADD_FAILURE() << "pixel " << std::hex << seen << " not " << expected;
        return matched;
    }

    static constexpr char kExported[] = "#separator:tab\n#html:true\nword\tline\n";
};

TEST_F(QuickWebViewTest, WithoutItsBackgroundThePageShowsWhatLiesBeneathWhereItPaintsNothing) {
    ASSERT_TRUE(loadAndWait(server.url("/page/painted")));
    ASSERT_TRUE(waitForPaint());
    // The first page is painted whole, backdrop and all.
    EXPECT_TRUE(shows(QPoint(50, 50), qRgb(0, 128, 0)));
    EXPECT_TRUE(shows(QPoint(300, 200), qRgb(255, 255, 255)));
    view().setDrawsBackground(false);
    EXPECT_TRUE(shows(QPoint(150, 200), kRectangle));
    EXPECT_TRUE(shows(QPoint(300, 200), kWindow));
    EXPECT_TRUE(shows(QPoint(50, 50), qRgb(0, 128, 0)));     // what the page paints stays
    EXPECT_TRUE(shows(QPoint(50, 150), qRgb(128, 0, 128)));  // half-transparent: blended
    view().setDrawsBackground(true);
    EXPECT_TRUE(shows(QPoint(300, 200), qRgb(255, 255, 255)));
}

// A transparent page is composed only over the rows it paints: what it paints later, elsewhere,
// shows too, and what it stops painting goes.
TEST_F(QuickWebViewTest, WhatATransparentPagePaintsLaterAndElsewhereShowsAndWhatItClearsGoes) {
    ASSERT_TRUE(loadAndWait(server.url("/page/painted")));
    view().setDrawsBackground(false);
    EXPECT_TRUE(shows(QPoint(50, 50), qRgb(0, 128, 0)));
    EXPECT_TRUE(shows(QPoint(150, 250), kRectangle));
    // Composed over its two boxes (rows 0 to 200) and a margin, not over the rows beneath.
    const auto composedUpTo = [&](double bottom) {
        return test::runEventLoopUntil(
            [&] {
                const auto bands = view().composedBands();
                return bands.size() == 1 && bands[0].first == 0 && bands[0].second == bottom;
            },
            5s);
    };
    EXPECT_TRUE(composedUpTo(224));
    view().evaluateScript(
        "var late = document.createElement('div');"
        "late.style.cssText = 'position:fixed;left:120px;top:250px;width:60px;height:40px;"
        "background:#0000ff';"
        "document.body.appendChild(late); 1");
    EXPECT_TRUE(shows(QPoint(150, 270), qRgb(0, 0, 255)));
    EXPECT_TRUE(shows(QPoint(50, 50), qRgb(0, 128, 0)));  // the first rows stay
    EXPECT_TRUE(composedUpTo(300));  // joined: the new box lies within the margins' reach
    view().evaluateScript("late.remove(); 1");
    EXPECT_TRUE(shows(QPoint(150, 270), kRectangle));
    EXPECT_TRUE(composedUpTo(224));
}

TEST_F(QuickWebViewTest, DownloadsGoWhereTheLearnerChoosesAfterACancelledOne) {
    ASSERT_TRUE(loadAndWait(server.url("/page/save")));
    QTemporaryDir dir;
    QStringList suggested;
    QString answer;  // empty: the learner cancels
    setSaveLocationChooser([&](const QString& path) {
        suggested.append(path);
        return answer;
    });
    view().evaluateScriptAsync("document.getElementById('save').click()");
    ASSERT_TRUE(test::runEventLoopUntil([&] { return suggested.size() == 1; }, 10s));

    answer = dir.filePath("chosen/../notes.tsv");
    view().evaluateScriptAsync("document.getElementById('save').click()");
    QFile saved(dir.filePath("notes.tsv"));
    const std::string exported = kExported;
    const bool written = test::runEventLoopUntil(
        [&] { return saved.exists() && saved.size() == qint64(exported.size()); }, 10s);
    setSaveLocationChooser({});

    ASSERT_TRUE(written);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), exported);
    ASSERT_EQ(suggested.size(), 2);
    EXPECT_TRUE(suggested[0].endsWith("/lirra-notebook.txt")) << suggested[0].toStdString();
}

// The home page and the player page keep their settings in one local storage.
TEST_F(QuickWebViewTest, ViewsShareTheProfilesLocalStorage) {
    ASSERT_TRUE(loadAndWait(server.url("/page/painted")));
    view().evaluateScript("localStorage.setItem('language', 'fr')");
    QuickWebView other(center, harness.engine());
    bool loaded = false;
    center.addObserver(kWebViewProgressFinishedNotification, static_cast<WebView*>(&other),
                       [&](const Notification&) { loaded = true; });
    other.loadUrl(QUrl(QString::fromStdString(server.url("/page/other"))));
    ASSERT_TRUE(test::runEventLoopUntil([&] { return loaded; }, 15s));
    EXPECT_EQ(other.evaluateScript("localStorage.getItem('language')"), "fr");
}

// Local storage kept in the folder main gives is there for the next run of the app.
TEST_F(QuickWebViewTest, LocalStorageInTheGivenFolderOutlivesTheProcess) {
    QTemporaryDir folder;
    const QString url = QString::fromStdString(server.url("/page/other"));
    const auto runWithStorage = [&](const QString& script) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(test::kStorageChildVariable, folder.path());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {url, script});
        if (!child.waitForFinished(30000)) return QStringLiteral("(no end)");
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            if (line.startsWith(test::kStorageChildAnswer))
                return QString::fromUtf8(line.mid(qstrlen(test::kStorageChildAnswer)));
        }
        return QStringLiteral("(no answer, exit %1)").arg(child.exitCode());
    };
    EXPECT_EQ(runWithStorage("localStorage.setItem('language', 'fr'); "
                             "localStorage.getItem('language')"),
              "fr");
    EXPECT_EQ(runWithStorage("localStorage.getItem('language')"), "fr");
    // And only there: this process's profile is off the record.
    ASSERT_TRUE(loadAndWait(url.toStdString()));
    EXPECT_EQ(view().evaluateScript("localStorage.getItem('language')"), "");
}

}  // namespace

namespace test {
INSTANTIATE_TYPED_TEST_SUITE_P(Quick, WebViewTest, ::testing::Types<QuickHarness>);
}  // namespace test

}  // namespace lirra
