// SPDX-License-Identifier: GPL-3.0-or-later
// The engine needs shared GL contexts, Qt Quick on OpenGL and the C numeric locale.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QQuickWindow>
#include <clocale>

int main(int argc, char** argv) {
    QGuiApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the application adopted the environment's locale
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
