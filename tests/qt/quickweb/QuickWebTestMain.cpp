// SPDX-License-Identifier: GPL-3.0-or-later
// The web engine's scheme, switches, module and OpenGL come before the QApplication.
// LIRRA_TEST_STORAGE (the storage test's child processes): the profile keeps its storage there.
#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QQuickWindow>

#include "platform/qt/quickweb/AppScheme.h"
#include "platform/qt/quickweb/EngineSwitches.h"
#include "platform/qt/quickweb/QuickWebProfile.h"

int main(int argc, char** argv) {
    const QByteArray storage = qgetenv("LIRRA_TEST_STORAGE");
    if (!storage.isEmpty()) lirra::setQuickWebStorageFolder(QString::fromLocal8Bit(storage));
    lirra::registerAppUrlScheme();
    // A made-up microphone and camera, so that only the app's answer decides a page's request.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --use-fake-device-for-media-stream");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    lirra::setEngineSwitches();  // as the program does
    QtWebEngineQuick::initialize();
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
