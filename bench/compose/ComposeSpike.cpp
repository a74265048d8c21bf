// Composition spikes: the same 1080p picture with a page over it (a line that changes every 2 s,
// the time in a corner), composed one way or another, measured from outside by run.py. A spike,
// never a test or product code.
// Usage: lirra_compose_spike FILE --way widgets|quick|quick-fbo [--no-page]
// Prints "playing" once a frame of the playing video is shown; a line on stdin prints
// "stats shown N drops D time T" (frames that reached the window, frames the engine dropped, the
// video's time in ms).
#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "Way.h"

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const int wayAt = args.indexOf("--way");
    const QString way = wayAt > 0 && wayAt + 1 < args.size() ? args[wayAt + 1] : "widgets";
    const bool withPage = !args.contains("--no-page");
    if (args.size() < 2 || (way != "widgets" && way != "quick" && way != "quick-fbo")) {
        std::fprintf(stderr, "usage: %s FILE --way widgets|quick|quick-fbo [--no-page]\n", argv[0]);
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
        way == "quick"       ? makeQuickWay(args[1], page, withPage, firstFrame)
        : way == "quick-fbo" ? makeQuickFboWay(args[1], page, withPage, firstFrame)
                             : makeWidgetsWay(args[1], page, withPage, firstFrame);

    // The video's time reaches the page as the app's "timeUpdate" does: ten times a second.
    QTimer times;
    QObject::connect(&times, &QTimer::timeout, &app, [&] {
        if (const long long ms = composed->videoMs(); ms >= 0)
            composed->runScript(QString("onTime(%1)").arg(ms));
    });
    times.start(100);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            return;
        }
        std::printf("stats shown %ld drops %s time %lld\n", composed->framesShown(),
                    composed->engineDrops().c_str(), composed->videoMs());
        std::fflush(stdout);
    });
    const int code = app.exec();
    std::fflush(stdout);
    _exit(code);  // a spike: no orderly teardown of the render threads
}
