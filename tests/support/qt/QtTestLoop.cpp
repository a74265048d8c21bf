// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/qt/QtTestLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace lirra::test {

void ensureCoreApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "lirra-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

bool runEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired()) return done();
        // A short nested loop sleeps while nothing happens and handles deferred deletes too.
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

}  // namespace lirra::test
