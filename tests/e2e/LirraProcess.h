// The real `lirra` executable, started for an end-to-end test under the test's display, with a
// home, settings and data folder of its own, and its log read as it comes.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <string>

namespace lirra::test {

class LirraProcess {
  public:
    // `arguments` are lirra's; alerts answer themselves (and are logged) so a journey never
    // waits on a person.
    explicit LirraProcess(const QStringList& arguments);
    ~LirraProcess();  // ends the app if it still runs

    bool started() const { return started_; }
    // Waits until the log holds `text` `times` times; false after `timeout`.
    bool waitForLog(const QString& text, std::chrono::milliseconds timeout, int times = 1);
    QString log();
    int countInLog(const QString& text) { return static_cast<int>(log().count(text)); }
    // Runs a second `lirra ARGUMENTS` as the desktop would (same home, same instance) and
    // returns its exit code; its output goes to `output`.
    int launchAgain(const QStringList& arguments, QString* output = nullptr);
    // Asks the app to quit (SIGTERM) and waits for it.
    int quit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool isRunning() const;

    QString homeDir() const { return home_.path(); }

  private:
    void readOutput();

    QTemporaryDir home_;
    QString instance_;
    QProcess process_;
    QString log_;
    bool started_ = false;
};

// Saves a picture of the whole screen as e2e-shots/NAME.png under the build folder and returns
// its path (empty when it could not be taken).
QString takeScreenshot(const QString& name);

// How many pixels of the picture at `path` are close to the colour (r, g, b).
int countPixelsNear(const QString& path, int r, int g, int b, int tolerance = 60);

// The whole file's bytes (empty when it cannot be read): pages for the test services.
std::string readFile(const std::string& path);

// A 640x360 H.264 clip of `seconds` seconds, red above and blue below, made by ffmpeg.
QString makeClip(const QString& dir, const QString& name, double seconds);

}  // namespace lirra::test
