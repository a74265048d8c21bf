// The web engine needs its URL scheme registered and GL contexts shared before the
// QApplication exists, so these tests make it here rather than in GoogleTest's main().
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/qt/widgets/WebProfile.h"

int main(int argc, char** argv) {
    lirra::registerAppUrlScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
