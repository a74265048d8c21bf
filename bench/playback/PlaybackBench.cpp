// SPDX-License-Identifier: GPL-3.0-or-later
// Plays one file with the video engine alone, drawn as in the program (the Qt Quick video item
// on Qt Quick's render thread) in a bare window, for measurement from outside.
// Prints "first-frame-ms N" (from main() to the first swapped frame showing the picture),
// then plays for --seconds S and prints "done". A line "stats" on stdin prints the frames the
// engine dropped, the swaps since the first frame and the video's time in ms. Usage:
// lirra_bench_playback FILE [--seconds S]
#include <unistd.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <string>

#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/qt/quickvideo/QuickVideoView.h"

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QGuiApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s FILE [--seconds S]\n", argv[0]);
        return 2;
    }
    int seconds = 0;
    if (const auto at = args.indexOf("--seconds"); at > 0 && at + 1 < args.size()) {
        seconds = args[at + 1].toInt();
    }

    lirra::NotificationCenter center;
    QQuickWindow window;
    window.resize(1280, 720);
    lirra::QuickVideoView view(window.contentItem());
    view.setSize(window.size());
    view.setBackColor({0, 0, 0, 1});
    view.setFillScreen(true);
    window.show();
    const QSize pixels = window.size() * window.devicePixelRatio();
    lirra::MpvMediaPlayer player(view, center);
    player.setMedia({lirra::Media::Kind::Path, args[1]});
    player.setVolume(200);
    player.play();

    // The first frame after the engine plays whose picture is not the black back colour (one
    // pixel read back on the render thread, as the frame is drawn); then every swap, which
    // brings the newest frame to the window.
    std::atomic<bool> playing{false}, seen{false};
    std::atomic<long> shown{0};
    QObject::connect(
        &window, &QQuickWindow::afterRendering, &window,
        [&] {
            if (seen || !playing) return;
            unsigned char rgba[4] = {};
            QOpenGLContext::currentContext()->functions()->glReadPixels(
                pixels.width() / 2, pixels.height() / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
            if (rgba[0] + rgba[1] + rgba[2] < 30) return;
            const qint64 at = sinceStart.elapsed();
            seen = true;
            QMetaObject::invokeMethod(&app, [&, at] {
                std::printf("first-frame-ms %lld\n", static_cast<long long>(at));
                std::fflush(stdout);
                QTimer::singleShot(seconds * 1000, &app, [&] {
                    std::printf("done state %d time %d\n", player.state(),
                                player.time().value_or(-1));
                    std::fflush(stdout);
                    app.quit();
                });
            });
        },
        Qt::DirectConnection);
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [&] {
            if (seen) ++shown;
        },
        Qt::DirectConnection);
    center.addObserver(lirra::kMediaPlayerStateChanged, nullptr, [&](const lirra::Notification&) {
        playing = player.state() == lirra::kMediaPlayerStatePlaying;
        if (player.state() == lirra::kMediaPlayerStateError) {
            std::printf("error\n");
            app.exit(1);
        }
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            return;
        }
        std::printf("drops vo %s decoder %s shown %ld time %d\n",
                    player.engineProperty("frame-drop-count").value_or("?").c_str(),
                    player.engineProperty("decoder-frame-drop-count").value_or("?").c_str(),
                    shown.load(), player.time().value_or(-1));
        std::fflush(stdout);
    });
    return app.exec();
}
