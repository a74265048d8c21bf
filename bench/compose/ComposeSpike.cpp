// Composition spikes: the same 1080p picture with a page over it (a line that changes every 2 s,
// the time in a corner), composed one way or another, measured from outside by run.py. A spike,
// never a test or product code.
// Usage: lirra_compose_spike FILE --way widgets|quick|quick-band|quick-fbo [--no-page]
// Prints "playing" once a frame of the playing video is shown; a line on stdin prints
// "stats shown N drops D time T lag50 A lag99 B" (frames that reached the window, frames the
// engine dropped, the video's time in ms, and how late a 10 ms timer ran on the main thread since
// the last stats, median and 99th percentile in ms).
#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

#include "Way.h"

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const int wayAt = args.indexOf("--way");
    const QString way = wayAt > 0 && wayAt + 1 < args.size() ? args[wayAt + 1] : "widgets";
    const bool withPage = !args.contains("--no-page");
    if (args.size() < 2 ||
        !QStringList{"widgets", "quick", "quick-band", "quick-fbo"}.contains(way)) {
        std::fprintf(stderr,
                     "usage: %s FILE --way widgets|quick|quick-band|quick-fbo [--no-page]\n",
                     argv[0]);
        return 2;
    }
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (way.startsWith("quick")) QtWebEngineQuick::initialize();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    const QUrl page = QUrl::fromLocalFile(QStringLiteral(LIRRA_COMPOSE_PAGE));
    auto firstFrame = [] {
        std::printf("playing\n");
        std::fflush(stdout);
    };
    std::unique_ptr<Way> composed =
        way == "quick"        ? makeQuickWay(args[1], page, withPage, false, firstFrame)
        : way == "quick-band" ? makeQuickWay(args[1], page, withPage, true, firstFrame)
        : way == "quick-fbo"  ? makeQuickFboWay(args[1], page, withPage, firstFrame)
                              : makeWidgetsWay(args[1], page, withPage, firstFrame);

    // The video's time reaches the page as the app's "timeUpdate" does: ten times a second.
    QTimer times;
    QObject::connect(&times, &QTimer::timeout, &app, [&] {
        if (const long long ms = composed->videoMs(); ms >= 0)
            composed->runScript(QString("onTime(%1)").arg(ms));
    });
    times.start(100);

    // How late the main thread's event loop runs a 10 ms timer: what a page's request to the
    // app waits for before it is even looked at.
    std::vector<double> lags;
    QElapsedTimer clock;
    clock.start();
    qint64 due = 10;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.elapsed();
        lags.push_back(static_cast<double>(std::max<qint64>(0, now - due)));
        due = now + 10;
    });
    tick.start(10);
    auto lagAt = [&](double q) {
        if (lags.empty()) return 0.0;
        std::vector<double> sorted = lags;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))];
    };

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            return;
        }
        std::printf("stats shown %ld drops %s time %lld lag50 %.0f lag99 %.0f\n",
                    composed->framesShown(), composed->engineDrops().c_str(), composed->videoMs(),
                    lagAt(0.5), lagAt(0.99));
        lags.clear();
        std::fflush(stdout);
    });
    const int code = app.exec();
    std::fflush(stdout);
    _exit(code);  // a spike: no orderly teardown of the render threads
}
