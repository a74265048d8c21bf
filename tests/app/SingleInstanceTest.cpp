// A second `lirra FILE` hands FILE to the running one over a local socket, and nothing is lost
// when the first one exits without cleaning up.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstring>
#include <thread>

#include "app/SingleInstance.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;

QString uniqueName(const char* what) {
    return QStringLiteral("lirra-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(what);
}

TEST(SingleInstance, ForwardsLocationsToTheRunningInstanceInOrder) {
    test::ensureCoreApplication();
    const QString name = uniqueName("forward");
    SingleInstance running(name);
    QStringList received;
    ASSERT_TRUE(running.listen([&](const QString& location) { received << location; }));

    // The second instance blocks while it waits for the acknowledgement, so it runs elsewhere.
    bool firstForwarded = false;
    bool secondForwarded = false;
    std::thread second([&] {
        SingleInstance other(name);
        firstForwarded = other.forwardToRunningInstance("/videos/My Film.mkv");
        secondForwarded = other.forwardToRunningInstance("http://media.test/a b.mkv");
    });
    EXPECT_TRUE(test::runEventLoopUntil([&] { return received.size() == 2; }, 10s));
    second.join();
    EXPECT_TRUE(firstForwarded);
    EXPECT_TRUE(secondForwarded);
    EXPECT_EQ(received, (QStringList{"/videos/My Film.mkv", "http://media.test/a b.mkv"}));
}

TEST(SingleInstance, NobodyRunningMeansNothingIsForwardedAndAStaleNameIsTakenOver) {
    test::ensureCoreApplication();
    const QString name = uniqueName("stale");
    EXPECT_FALSE(SingleInstance(name).forwardToRunningInstance("/v.mkv", 300));

    // A crashed instance leaves its socket behind; the next one still becomes the running one.
    const QByteArray path = QFile::encodeName(QDir::tempPath() + "/" + name);
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
}

}  // namespace
}  // namespace lirra
