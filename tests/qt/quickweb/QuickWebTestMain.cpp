// The Quick web engine needs its URL scheme registered, its module initialised and the scene on
// OpenGL before the QApplication exists, so these tests make it here rather than in GoogleTest's
// main(). Started with kStorageChildVariable set, the program is instead the second process of
// the storage test (QuickWebViewTest.cpp).
#include "QuickWebTestMain.h"

#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <cstdio>

#include "platform/NotificationCenter.h"
#include "platform/qt/quickweb/AppScheme.h"
#include "platform/qt/quickweb/QuickWebProfile.h"
#include "platform/qt/quickweb/QuickWebView.h"
#include "support/qt/QtTestLoop.h"

namespace {

// Loads the page (argv[1]) with the shared profile's storage in the folder the variable names,
// runs the script (argv[2]) and prints its answer.
int runStorageChild(QApplication& application) {
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3) return 2;
    QQmlEngine engine;
    QQuickWindow window;
    lirra::NotificationCenter center;
    lirra::QuickWebView view(center, engine);
    bool finished = false;
    center.addObserver(lirra::kWebViewProgressFinishedNotification,
                       static_cast<lirra::WebView*>(&view),
                       [&](const lirra::Notification&) { finished = true; });
    window.resize(200, 100);
    view.item()->setParentItem(window.contentItem());
    view.setFrame(lirra::Rect{{0, 0}, {200, 100}});
    window.show();
    view.loadUrl(QUrl(arguments[1]));
    if (!lirra::test::runEventLoopUntil([&] { return finished; }, std::chrono::seconds(15)))
        return 3;
    std::printf("%s%s\n", lirra::test::kStorageChildAnswer,
                view.evaluateScript(arguments[2]).toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const QByteArray storage = qgetenv(lirra::test::kStorageChildVariable);
    if (!storage.isEmpty()) lirra::setQuickWebStorageFolder(QString::fromLocal8Bit(storage));
    lirra::registerAppUrlScheme();
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QtWebEngineQuick::initialize();
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    if (!storage.isEmpty()) return runStorageChild(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
