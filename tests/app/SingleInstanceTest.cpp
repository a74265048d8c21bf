// SPDX-License-Identifier: GPL-3.0-or-later
// A second `lirra FILE` hands FILE to the running one over a local socket, and nothing is lost
// when the first one exits without cleaning up.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstring>

#include "app/SingleInstance.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

TEST(SingleInstance, NobodyRunningMeansNothingIsForwardedAndAStaleNameIsTakenOver) {
    test::ensureCoreApplication();
    const QString name =
        QStringLiteral("lirra-test-%1-stale").arg(QCoreApplication::applicationPid());
    EXPECT_FALSE(SingleInstance(name).forwardToRunningInstance("/v.mkv", 300));

    // A crashed instance leaves its socket behind; the next one still becomes the running one.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    ASSERT_EQ(SingleInstance::socketPath(name), runtime + "/" + name);
    const QByteArray path = QFile::encodeName(runtime + "/" + name);
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        close(fd);  // the socket file stays, with nobody behind it
    }
    ASSERT_TRUE(QFile::exists(QString::fromLocal8Bit(path)));
    EXPECT_FALSE(SingleInstance(name).forwardToRunningInstance("/v.mkv", 300));
    SingleInstance next(name);
    QString error;
    EXPECT_TRUE(next.listen([](const QString&) {}, &error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(runtime).permissions() & 0x0077, 0);  // nobody else can make it first
}

}  // namespace
}  // namespace lirra
