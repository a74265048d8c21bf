// SPDX-License-Identifier: GPL-3.0-or-later
// lirra: a thin main() over the libraries. `--hash` runs without any window; otherwise the app
// starts (handing its file to an already running Lirra when there is one).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <QQuickWindow>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QtWebEngineQuick>
#include <clocale>
#include <cstdio>
#include <memory>

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/HashCommand.h"
#include "app/MediaControlsController.h"
#include "app/OpenFailureReporter.h"
#include "app/SingleInstance.h"
#include "lirra/server/Server.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "platform/qt/l10n/Translations.h"
#include "platform/qt/mpris/MprisService.h"
#include "platform/qt/network/QtHttpClient.h"
#include "platform/qt/quickweb/AppScheme.h"
#include "platform/qt/quickweb/EngineSwitches.h"
#include "platform/qt/quickweb/QuickWebProfile.h"
#include "platform/qt/window/GlIntegration.h"
#include "platform/qt/window/QtMainWindow.h"
#include "platform/qt/window/QtPlatform.h"
#include "promise/Queue.h"

namespace {

constexpr int kMediaControlsPollMs = 1000;

void tell(const QString& message) { std::fprintf(stderr, "lirra: %s\n", qPrintable(message)); }

int fail(const QString& message, int status) {
    tell(message);
    return status;
}

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// SIGTERM and SIGINT end the event loop like the Quit menu item, so the service stops cleanly.
int gSignalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(gSignalPipe[1], &byte, 1);
}

void quitOnTerminationSignals() {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        while (read(gSignalPipe[0], &byte, 1) > 0) {
        }
        lirra::logLine("Quitting on a termination signal");
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace lirra;

    UserDefaults& defaults = UserDefaults::standard();
    std::string settingsError;
    if (!defaults.loadFile(UserDefaults::defaultSettingsPath(), &settingsError)) {
        return fail(QString::fromStdString(settingsError), kExitUsage);
    }
    const CommandLine commandLine = readCommandLine(argumentsOf(argc, argv), defaults);
    if (commandLine.help || commandLine.version) {
        std::fputs(qPrintable(commandLine.help ? helpText() : versionText()), stdout);
        return 0;
    }
    if (!commandLine.error.isEmpty()) {
        std::fputs(qPrintable(usageErrorText(commandLine.error)), stderr);
        return kExitUsage;
    }
    for (const QString& notice : commandLine.notices) tell(notice);
    // A key file that cannot be read is said before any window opens.
    std::string ankiKey;
    if (const auto keyFile = defaults.stringForKey("anki-key-file"); keyFile && !keyFile->empty()) {
        QString keyError;
        const auto key = readKeyFile(*keyFile, &keyError);
        if (!key) return fail(keyError, kExitUsage);
        ankiKey = *key;
    }
    setTraceEnabled(commandLine.verbose);
    if (commandLine.hashLocation) {
        QCoreApplication app(argc, argv);
        QtHttpClient client;
        return runHashCommand(*commandLine.hashLocation, client);
    }

    // The web engine needs the scheme before the application exists, libmpv's renderer needs
    // shared GL contexts, and libmpv needs C number formatting.
    registerAppUrlScheme();
    // libmpv's hardware decoding on X11 wants Qt's windows on EGL where there is a GPU.
    preferEglForHardwareDecoding(defaults.stringForKey("hwdec"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Qt WebEngine's Quick view needs its start-up before the application, like the scheme.
    // The stage's video is drawn with OpenGL into Qt Quick's own frames.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    setEngineSwitches();
    QtWebEngineQuick::initialize();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Lirra"));
    QApplication::setDesktopFileName(QString::fromLatin1(kMprisDesktopEntry));

    const QString instanceName = QString::fromStdString(
        defaults.stringForKey("instance").value_or(SingleInstance::defaultName().toStdString()));
    SingleInstance instance(instanceName);
    if (instance.forwardToRunningInstance(commandLine.location)) {
        logLine("Handed over to the running Lirra");
        return 0;
    }

    std::string dataDirectory = defaults.stringForKey("data").value_or("");
    if (dataDirectory.empty()) dataDirectory = server::defaultDataDirectory();
    // The pages keep the learner's language and player settings in their local storage.
    if (!dataDirectory.empty())
        setQuickWebStorageFolder(QString::fromStdString(dataDirectory + "/web"));
    // The pages take the locale's languages through the profile; the menus speak the pages'
    // language last seen, else the locale's.
    const QStringList localeTags =
        localeLanguages([](const char* name) { return qEnvironmentVariable(name); });
    setQuickWebAcceptLanguage(acceptLanguage(localeTags));
    const QString languageFile =
        dataDirectory.empty() ? QString()
                              : QString::fromStdString(dataDirectory + "/interface-language");
    const QString remembered = rememberedLanguage(languageFile);
    useInterfaceLanguage(remembered.isEmpty() ? localeTags : QStringList{remembered});

    std::unique_ptr<server::Server> embedded;
    QByteArray secret;
    AppConfig config;
    if (commandLine.baseUrl) {
        config.baseUrl = *commandLine.baseUrl;
    } else {
        server::ServerOptions options;
        options.dataDirectory = dataDirectory;
        // One origin for the pages across runs: their settings live in its storage.
        options.port = server::stablePortFor(dataDirectory);
        options.anyPortIfTaken = true;
        options.openSubtitlesKeyFile = defaults.stringForKey("opensubtitles-key-file").value_or("");
        options.openSubtitlesUrl = defaults.stringForKey("opensubtitles-url").value_or("");
        options.ankiUrl = defaults.stringForKey("anki-url").value_or("");
        options.ankiKey = ankiKey;
        // Only this process gets in: another local user can reach the port, not the secret.
        options.secret = server::makeSecret();
        if (options.secret.empty()) {
            return fail(QStringLiteral("the built-in service could not make its secret"),
                        kExitFailure);
        }
        secret = QByteArray::fromStdString(options.secret);
        embedded = std::make_unique<server::Server>(options);
        const std::string error = embedded->start();
        if (!error.empty()) {
            return fail(QStringLiteral("the built-in service could not start: %1")
                            .arg(QString::fromStdString(error)),
                        kExitFailure);
        }
        config.baseUrl = QString::fromStdString(embedded->baseUrl());
    }
    logLine("Lirra service at " + config.baseUrl.toStdString());

    // Promises that ask for the main queue run their callbacks on the Qt event loop.
    setMainQueueHook([](std::function<void()> work) {
        QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
    });

    quitOnTerminationSignals();

    int status = 0;
    {
        QtPlatform platform;
        // A session the home page signs in to goes with the app's lookups and uploads.
        shareQuickWebCookies(platform.qtHttpClient().cookieJar());
        if (embedded) {
            // Before any page loads; the app's own requests and the pages carry it, and only
            // to the embedded service's origin.
            const QUrl origin(config.baseUrl);
            setQuickWebServiceCookie(origin, server::kSecretCookie, secret);
            platform.qtHttpClient().setOriginHeader(origin, server::kSecretHeader, secret);
        }
        AppDelegate delegate(platform, config);
        platform.setFileMenuOpenHandler([&delegate] { delegate.fileMenuController().open(); });
        // A language chosen on the home page reaches the menus with the next video.
        delegate.setInterfaceLanguageObserver([&languageFile](const QString& tag) {
            if (!languageFile.isEmpty()) rememberLanguage(languageFile, tag);
            useInterfaceLanguage({tag});
        });
        if (embedded) {
            delegate.setVideoFolderObserver([&embedded](const QString& folder) {
                const std::string refused = embedded->addLibraryFolder(folder.toStdString());
                if (!refused.empty()) logLine("Subtitle folder not searched: " + refused);
            });
        }
        const auto raise = [&platform] {
            platform.qtMainWindow().raise();
            platform.qtMainWindow().activateWindow();
        };
        const auto open = [&delegate](const QString& location) {
            if (!location.isEmpty()) delegate.applicationOpenFile(location);
        };
        QString listenError;
        if (!instance.listen(
                [&](const QString& location) {
                    raise();
                    open(location);
                },
                &listenError)) {
            logLine("Single instance not available: " + listenError.toStdString());
        }

        OpenFailureReporter openFailures(
            platform.notificationCenter(), [&delegate] { return delegate.player(); },
            [&delegate] { return delegate.homeWebView(); });
        // The desktop's media keys and controls (MPRIS). The volume changes with no player
        // notification, so what they show is also compared now and then.
        MediaControlsController mediaControls({
            .state = delegate.state(),
            .screens = delegate,
            .application = platform.application(),
            .center = platform.notificationCenter(),
            .player = [&delegate] { return delegate.player(); },
            .playerPage = [&delegate] { return delegate.playerWebView(); },
            .playerShown =
                [&delegate] {
                    const Window* overlay = delegate.playerScreen().playerWebViewWindow();
                    return overlay && overlay->isVisible();
                },
            .raise = raise,
            .open = open,
        });
        MprisService mpris(mediaControls);
        QString mprisError;
        const QString busName = mpris.publish(QDBusConnection::sessionBus(), &mprisError);
        logLine(busName.isEmpty() ? "Media controls not available: " + mprisError.toStdString()
                                  : "Media controls on D-Bus as " + busName.toStdString());
        mediaControls.setControls(&mpris);
        QTimer mediaControlsPoll;
        QObject::connect(&mediaControlsPoll, &QTimer::timeout, [&] { mediaControls.refresh(); });
        mediaControlsPoll.start(kMediaControlsPollMs);

        platform.qtMainWindow().show();
        delegate.applicationDidFinishLaunching();
        if (!commandLine.location.isEmpty()) delegate.applicationOpenFile(commandLine.location);
        status = app.exec();
    }
    setMainQueueHook({});
    if (embedded) embedded->stop();
    return status;
}
