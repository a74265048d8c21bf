// SPDX-License-Identifier: GPL-3.0-or-later
// The real `lirra` under the test's display with a home of its own: its log, its pages read and
// given keys through the DevTools protocol; screenshots, clips. A failed wait says what it awaited.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <optional>

namespace lirra::test {

using namespace std::chrono_literals;

class LirraProcess {
  public:
    // `arguments` are lirra's; alerts answer themselves (and are logged): nobody is waited on.
    explicit LirraProcess(const QStringList& arguments);
    ~LirraProcess();  // ends the app if it still runs

    bool started() const { return started_; }
    // Waits until the log holds `text` `times` times.
    bool waitForLog(const QString& text, std::chrono::milliseconds timeout = 30s, int times = 1);
    QString log();
    int servicePort();  // the embedded service's, from its line in the log
    // A second `lirra ARGUMENTS` as the desktop runs it (same home and instance): its exit code.
    int launchAgain(const QStringList& arguments, QString* output = nullptr);
    int quit();  // SIGTERM, and its exit code
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }

    // The value of `script` in the page whose address contains `page` (undefined when there is
    // none or it threw); or waits until it is `expected`.
    QJsonValue read(const QString& page, const QString& script);
    bool waitForPage(const QString& page, const QString& script, const QJsonValue& expected,
                     std::chrono::milliseconds timeout = 20s);
    // A key (a DOM key value) pressed and released in that page, as if from the window.
    bool press(const QString& page, const QString& key);

  private:
    std::optional<QJsonObject> call(const QString& page, const QString& method,
                                    const QJsonObject& params);

    QTemporaryDir home_;
    QString instance_;
    int debugPort_ = 0;
    QProcess process_;
    QString log_;
    bool started_ = false;
};

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// How many pixels of the picture at `path` are within `tolerance` of the colour "#rrggbb".
int pixelsNear(const QString& path, const char* colour, int tolerance = 60);
// Pictures of the whole screen as e2e-shots/NAME.png under the build folder until `count` finds
// at least `wanted` in one; the path of the last one, empty when none did.
QString shotShowing(const QString& name, int wanted,
                    const std::function<int(const QString&)>& count = {},
                    std::chrono::milliseconds timeout = 10s);

bool writeFile(const QString& path, const QByteArray& bytes);
// A 640x360 H.264 clip, red above and blue below, with an English audio track, made by ffmpeg.
QString makeClip(const QString& dir, const QString& name, double seconds);

}  // namespace lirra::test
