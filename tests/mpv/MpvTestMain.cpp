// The engine needs a QApplication sharing GL contexts, Qt Quick on OpenGL, and the C numeric
// locale for mpv.
#include <gtest/gtest.h>

#include <QApplication>
#include <QQuickWindow>
#include <clocale>

int main(int argc, char** argv) {
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // QApplication adopted the environment's locale
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
