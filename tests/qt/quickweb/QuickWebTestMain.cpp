// The Quick web engine needs its URL scheme registered, its module initialised and the scene on
// OpenGL before the QApplication exists, so these tests make it here rather than in GoogleTest's
// main().
#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QQuickWindow>

#include "platform/qt/webcommon/AppScheme.h"

int main(int argc, char** argv) {
    lirra::registerAppUrlScheme();
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QtWebEngineQuick::initialize();
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
