// Plays one file in a bare window with the video engine, for measurement from outside.
// Prints "first-frame-ms N" (from main() to the first swapped frame showing the picture),
// then plays for --seconds S and prints "done". A line "stats" on stdin prints the frames the
// engine dropped, the swaps since the first frame and the video's time in ms. Usage:
// lirra_bench_playback FILE [--seconds S]
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QSocketNotifier>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <string>

#include "platform/NotificationCenter.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
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
    lirra::MpvVideoView view;
    view.setBackColor({0, 0, 0, 1});
    view.setFillScreen(true);
    view.resize(1280, 720);
    view.show();
    lirra::MpvMediaPlayer player(view, center);
    player.setMedia({lirra::Media::Kind::Path, args[1]});
    player.setVolume(200);
    player.play();

    // The first swap after the engine plays whose picture is not the black back colour; then
    // every swap, which brings the newest frame to the window (frames passed over undrawn never
    // come to the window, although the engine does not count them as dropped).
    bool seen = false;
    long shown = 0;
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, &view, [&] {
        if (seen) ++shown;
        if (seen || player.state() != lirra::kMediaPlayerStatePlaying) return;
        const qint64 at = sinceStart.elapsed();
        const QImage image = view.grabFramebuffer();
        const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
        if (qRed(pixel) + qGreen(pixel) + qBlue(pixel) < 30) return;
        seen = true;
        std::printf("first-frame-ms %lld\n", static_cast<long long>(at));
        std::fflush(stdout);
        QTimer::singleShot(seconds * 1000, &app, [&] {
            std::printf("done state %d time %d\n", player.state(), player.time().value_or(-1));
            std::fflush(stdout);
            app.quit();
        });
    });
    center.addObserver(lirra::kMediaPlayerStateChanged, nullptr, [&](const lirra::Notification&) {
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
                    player.engineProperty("decoder-frame-drop-count").value_or("?").c_str(), shown,
                    player.time().value_or(-1));
        std::fflush(stdout);
    });
    return app.exec();
}
