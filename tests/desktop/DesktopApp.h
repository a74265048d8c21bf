// The real `lirra` on the desktop of the test: under its display and on its session bus
// (dbus-run-session), with a home of its own, its log read as it comes, and its pages read and
// given keys through the web engine's DevTools protocol.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <optional>

namespace lirra::test {

using namespace std::chrono_literals;

class DesktopApp {
  public:
    explicit DesktopApp(const QStringList& arguments);  // alerts answer themselves (logged)
    ~DesktopApp();

    bool waitForLog(const QString& text, std::chrono::milliseconds timeout = 40s);
    QString log();
    // A second `lirra ARGUMENTS` as the desktop runs it: handed to this one.
    int launchAgain(const QStringList& arguments);

    // The value of `expression` in the page whose address contains `page`; undefined when there
    // is none or it threw.
    QJsonValue read(const QString& page, const QString& expression);
    bool waitForPage(const QString& page, const QString& expression, const QJsonValue& expected,
                     std::chrono::milliseconds timeout = 20s);
    // A key as the engine gets it from the window: a DOM key value, pressed and released.
    bool press(const QString& page, const QString& key);

    QString dir() const { return home_.path(); }

  private:
    std::optional<QJsonObject> call(const QString& page, const QString& method,
                                    const QJsonObject& params);

    QTemporaryDir home_;
    QString instance_;
    int debugPort_ = 0;
    QProcess process_;
    QString log_;
};

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// A 640x360 H.264 clip of `seconds` with sound, made by ffmpeg, and beside it NAME.en.srt with
// a line every 4 s from 1 s on ("Line 1"...).
QString makeClip(const QString& dir, const QString& name, int seconds);

}  // namespace lirra::test
