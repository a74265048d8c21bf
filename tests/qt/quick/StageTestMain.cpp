// SPDX-License-Identifier: GPL-3.0-or-later
// The main window needs a QApplication (menus, dialogs), which GoogleTest's main() does not make.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
