#include "LirraProcess.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcessEnvironment>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace lirra::test {

LirraProcess::LirraProcess(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home_.path());
    environment.insert("XDG_CONFIG_HOME", home_.path() + "/config");
    environment.insert("XDG_DATA_HOME", home_.path() + "/data");
    environment.insert("XDG_RUNTIME_DIR", home_.path() + "/run");
    QDir(home_.path()).mkpath("run");
    QFile::setPermissions(home_.path() + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert("LIRRA_ALERT_AUTOREPLY", "1");
    if (geteuid() == 0) environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    instance_ = "lirra-e2e-" + QString::number(QCoreApplication::applicationPid()) + "-" +
                QString::number(reinterpret_cast<quintptr>(this));
    process_.start(QStringLiteral(LIRRA_EXECUTABLE),
                   arguments + QStringList{"--instance", instance_});
    started_ = process_.waitForStarted(10000);
}

int LirraProcess::launchAgain(const QStringList& arguments, QString* output) {
    QProcess second;
    second.setProcessEnvironment(process_.processEnvironment());
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(LIRRA_EXECUTABLE),
                 arguments + QStringList{"--instance", instance_});
    if (!second.waitForFinished(30000)) {
        second.kill();
        second.waitForFinished(5000);
        return -1;
    }
    if (output) *output = QString::fromUtf8(second.readAll());
    return second.exitCode();
}

LirraProcess::~LirraProcess() {
    if (isRunning()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    readOutput();
    if (std::getenv("LIRRA_E2E_LOG")) std::cerr << log_.toStdString();
}

bool LirraProcess::isRunning() const { return process_.state() != QProcess::NotRunning; }

void LirraProcess::readOutput() {
    // Without an event loop the pipe is only read inside a wait.
    while (process_.waitForReadyRead(0)) {
    }
    log_ += QString::fromUtf8(process_.readAll());
}

QString LirraProcess::log() {
    readOutput();
    return log_;
}

bool LirraProcess::waitForLog(const QString& text, std::chrono::milliseconds timeout, int times) {
    QElapsedTimer timer;
    timer.start();
    while (true) {
        readOutput();
        if (log_.count(text) >= times) return true;
        if (timer.elapsed() > timeout.count() || !isRunning()) return log_.count(text) >= times;
        process_.waitForReadyRead(100);
    }
}

int LirraProcess::quit(std::chrono::milliseconds timeout) {
    process_.terminate();
    if (!process_.waitForFinished(static_cast<int>(timeout.count()))) {
        process_.kill();
        process_.waitForFinished(5000);
        return -1;
    }
    readOutput();
    return process_.exitCode();
}

QString takeScreenshot(const QString& name) {
    const QString dir = QDir::current().absoluteFilePath("e2e-shots");
    QDir().mkpath(dir);
    const QString path = dir + "/" + name + ".png";
    QProcess import;
    import.start("import", {"-window", "root", path});
    if (!import.waitForFinished(20000) || import.exitCode() != 0) return {};
    return path;
}

int countPixelsNear(const QString& path, int r, int g, int b, int tolerance) {
    const QImage image(path);
    int count = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance &&
                std::abs(c.blue() - b) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

QString makeClip(const QString& dir, const QString& name, double seconds) {
    const QString path = dir + "/" + name;
    const QString duration = QString::number(seconds);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-hide_banner",
                            "-loglevel",
                            "error",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            "color=c=red:s=640x180:d=" + duration + ":r=25",
                            "-f",
                            "lavfi",
                            "-i",
                            "color=c=blue:s=640x180:d=" + duration + ":r=25",
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=frequency=330:duration=" + duration,
                            "-filter_complex",
                            "[0:v][1:v]vstack=inputs=2[v]",
                            "-map",
                            "[v]",
                            "-map",
                            "2:a",
                            "-c:v",
                            "libx264",
                            "-preset",
                            "ultrafast",
                            "-g",
                            "1",
                            "-pix_fmt",
                            "yuv420p",
                            "-c:a",
                            "aac",
                            "-metadata:s:a:0",
                            "title=English",
                            path});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        std::cerr << "ffmpeg failed: " << ffmpeg.readAllStandardError().toStdString() << "\n";
        return {};
    }
    return path;
}

}  // namespace lirra::test
