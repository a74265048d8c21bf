// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's media controls (MPRIS) against the real app on the test's own session bus: what
// they show of the playing video, and the calls a media key or the shell's widget sends.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "e2e/LirraProcess.h"
#include "support/qt/QtPrinters.h"
#include "support/qt/QtTestLoop.h"

namespace lirra::test {
namespace {

const QString kService = "org.mpris.MediaPlayer2.lirra";
const QString kPath = "/org/mpris/MediaPlayer2";
const QString kRoot = "org.mpris.MediaPlayer2";
const QString kPlayer = "org.mpris.MediaPlayer2.Player";

// What the app tells the bus, as it comes.
class Heard : public QObject {
    Q_OBJECT
  public slots:
    void changed(const QString& interface, const QVariantMap& properties, const QStringList&) {
        if (interface != kPlayer) return;
        for (auto it = properties.begin(); it != properties.end(); ++it)
            values_ << it.key() + "=" + (it.key() == "Metadata" ? "..." : it.value().toString());
    }
    void seeked(qlonglong position) { values_ << "Seeked=" + QString::number(position); }

  public:
    QStringList values_;
};

QDBusMessage send(const QString& interface, const QString& method,
                  const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

QVariant property(const QString& interface, const QString& name) {
    const QDBusMessage reply = send("org.freedesktop.DBus.Properties", "Get", {interface, name});
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments()[0].value<QDBusVariant>().variant();
}

QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(kPlayer, "Metadata")); }

qlonglong position() { return property(kPlayer, "Position").toLongLong(); }

bool positionWithin(qlonglong low, qlonglong high) {
    return runEventLoopUntil([&] { return position() >= low && position() <= high; }, 10s);
}

bool statusBecomes(const char* status, std::chrono::milliseconds timeout = 10s) {
    return runEventLoopUntil([&] { return property(kPlayer, "PlaybackStatus") == status; },
                             timeout);
}

TEST(DesktopMediaControls, TheDesktopShowsThePlayingVideoAndDrivesIt) {
    ensureCoreApplication();
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected())
        << "the test runs on a session bus of its own (dbus-run-session)";
    QTemporaryDir media;
    const QString clip = makeClip(media.path(), "Film.Night.mkv", 60);
    QByteArray lines;  // beside the video: "Line N" from 1 s on, every 4 s
    for (int n = 1; n <= 14; ++n)
        lines += QString::asprintf("%d\n00:00:%02d,000 --> 00:00:%02d,000\nLine %d\n\n", n,
                                   4 * n - 3, 4 * n - 1, n)
                     .toUtf8();
    ASSERT_TRUE(!clip.isEmpty() && writeFile(media.filePath("Film.Night.en.srt"), lines));
    LirraProcess app({clip});
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return bus.interface()->isServiceRegistered(kService).value(); }, 40s))
        << app.log().toStdString();
    Heard heard;
    bus.connect(kService, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", &heard,
                SLOT(changed(QString, QVariantMap, QStringList)));
    bus.connect(kService, kPath, kPlayer, "Seeked", &heard, SLOT(seeked(qlonglong)));

    QFile desktopEntry(LIRRA_DESKTOP_ENTRY);
    ASSERT_TRUE(desktopEntry.open(QIODevice::ReadOnly));
    const QString types =
        QString(desktopEntry.readAll()).section("\nMimeType=", 1).section('\n', 0, 0);
    const std::vector<std::pair<QString, QVariant>> root = {
        {"Identity", "Lirra"},
        {"DesktopEntry", "app.lirra.Lirra"},
        {"CanQuit", true},
        {"CanRaise", true},
        {"HasTrackList", false},
        {"SupportedUriSchemes", QStringList{"file", "http", "https"}},
        {"SupportedMimeTypes", types.split(';', Qt::SkipEmptyParts)},
    };
    for (const auto& [name, value] : root)
        EXPECT_EQ(property(kRoot, name), value) << name.toStdString();

    ASSERT_TRUE(statusBecomes("Playing", 40s)) << app.log().toStdString();
    const QVariantMap shown = metadata();
    EXPECT_EQ(shown["xesam:title"], "Film.Night");
    EXPECT_EQ(shown["xesam:url"], QUrl::fromLocalFile(clip).toString());
    EXPECT_NEAR(shown["mpris:length"].toLongLong(), 60000000, 200000) << "microseconds";
    const QDBusObjectPath track = shown["mpris:trackid"].value<QDBusObjectPath>();
    EXPECT_TRUE(track.path().startsWith("/app/lirra/Lirra/video/")) << track.path().toStdString();
    for (const char* ability :
         {"CanPlay", "CanPause", "CanSeek", "CanGoNext", "CanGoPrevious", "CanControl"})
        EXPECT_EQ(property(kPlayer, ability), true) << ability;

    send(kPlayer, "Pause");
    EXPECT_TRUE(
        runEventLoopUntil([&] { return heard.values_.contains("PlaybackStatus=Paused"); }, 10s));
    EXPECT_EQ(property(kPlayer, "PlaybackStatus"), "Paused");
    send(kPlayer, "SetPosition", {QVariant::fromValue(track), qlonglong{10000000}});
    EXPECT_TRUE(positionWithin(9900000, 10300000)) << position();
    send(kPlayer, "Seek", {qlonglong{-3000000}});
    EXPECT_TRUE(positionWithin(6900000, 7300000)) << position();
    EXPECT_TRUE(runEventLoopUntil([&] { return heard.values_.filter("Seeked=").size() == 2; }, 5s));
    EXPECT_EQ(heard.values_.filter("Seeked="), (QStringList{"Seeked=10000000", "Seeked=7000000"}));

    // Next and previous line as the page's keys, from the time it last showed (lines at 1, 5, 9 s).
    ASSERT_TRUE(app.waitForPage("Player/Play", "$('#time-current').text()", "0:07"));
    send(kPlayer, "Next");
    EXPECT_TRUE(positionWithin(9000000, 12900000)) << position();
    EXPECT_TRUE(statusBecomes("Playing"));
    send(kPlayer, "Previous");
    EXPECT_TRUE(positionWithin(5000000, 8900000)) << position();

    // The volume from 0 to 1 is the engine's 0..200, and the page's slider shows it.
    send("org.freedesktop.DBus.Properties", "Set",
         {kPlayer, "Volume", QVariant::fromValue(QDBusVariant(0.5))});
    EXPECT_EQ(property(kPlayer, "Volume"), 0.5);
    EXPECT_TRUE(app.waitForPage("Player/Play", "$('#volume').val()", "100"));
    EXPECT_TRUE(runEventLoopUntil([&] { return heard.values_.contains("Volume=0.5"); }, 5s));

    send(kPlayer, "Stop");
    EXPECT_TRUE(statusBecomes("Stopped"));
    EXPECT_EQ(property(kPlayer, "CanPlay"), false);
    EXPECT_EQ(metadata()["mpris:trackid"].value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_TRUE(runEventLoopUntil([&] { return app.read("Player/Play", "1").isUndefined(); }, 10s))
        << "the player page is emptied";
    EXPECT_TRUE(
        runEventLoopUntil([&] { return heard.values_.contains("PlaybackStatus=Stopped"); }, 5s))
        << heard.values_.join(' ').toStdString();
}

}  // namespace
}  // namespace lirra::test

#include "MediaControlsTest.moc"
