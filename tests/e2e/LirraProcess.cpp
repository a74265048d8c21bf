// SPDX-License-Identifier: GPL-3.0-or-later
#include "LirraProcess.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <thread>

#include "support/qt/QtTestLoop.h"

namespace lirra::test {
namespace {

// One message of the DevTools protocol as the client sends it (RFC 6455): a masked text frame.
QByteArray textFrame(const QByteArray& payload) {
    const qsizetype n = payload.size();
    QByteArray frame = n < 126 ? QByteArray{"\x81"} + char(0x80 | n)
                               : QByteArray{"\x81\xfe"} + char(n >> 8) + char(n & 0xff);
    const char mask[4] = {0x5a, 0x13, 0x7c, 0x21};
    frame.append(mask, 4);
    for (qsizetype i = 0; i < n; ++i) frame.append(char(payload[i] ^ mask[i % 4]));
    return frame;
}

// The payload of the whole frame at the front of `bytes`, taken off (unmasked, under 64 KiB).
std::optional<QByteArray> takeFrame(QByteArray& bytes) {
    const qsizetype head = bytes.size() > 1 && (bytes[1] & 0x7f) == 126 ? 4 : 2;
    if (bytes.size() < head) return std::nullopt;
    const qsizetype length = head == 4 ? quint8(bytes[2]) << 8 | quint8(bytes[3]) : bytes[1] & 0x7f;
    if (bytes.size() < head + length) return std::nullopt;
    QByteArray payload = bytes.mid(head, length);
    bytes.remove(0, head + length);
    return payload;
}

}  // namespace

LirraProcess::LirraProcess(const QStringList& arguments) {
    ensureCoreApplication();  // QProcess and the sockets want an application object
    QTcpServer probe;         // a free port for the web engine's DevTools
    debugPort_ = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
    probe.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString home = home_.path();
    environment.insert("HOME", home);  // the settings and data folders follow it
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) environment.remove(name);
    environment.insert("XDG_RUNTIME_DIR", home + "/run");
    QDir(home).mkpath("run");
    QFile::setPermissions(home + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert("LIRRA_ALERT_AUTOREPLY", "1");
    environment.insert("QTWEBENGINE_REMOTE_DEBUGGING", "127.0.0.1:" + QString::number(debugPort_));
    if (geteuid() == 0) environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    instance_ = "lirra-e2e-" + QString::number(QRandomGenerator::global()->generate64(), 36);
    process_.start(LIRRA_EXECUTABLE, arguments + QStringList{"--instance", instance_});
    started_ = process_.waitForStarted(10000);
}

LirraProcess::~LirraProcess() {
    if (isRunning()) process_.kill();
    process_.waitForFinished(5000);
}

int LirraProcess::launchAgain(const QStringList& arguments, QString* output) {
    QProcess second;
    second.setProcessEnvironment(process_.processEnvironment());
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(LIRRA_EXECUTABLE, arguments + QStringList{"--instance", instance_});
    if (!second.waitForFinished(30000)) second.kill();
    if (output) *output = QString::fromUtf8(second.readAll());
    return second.state() == QProcess::NotRunning ? second.exitCode() : -1;
}

QString LirraProcess::log() {
    while (process_.waitForReadyRead(0)) {
    }  // without an event loop the pipe is only read inside a wait
    return log_ += QString::fromUtf8(process_.readAll());
}

bool LirraProcess::waitForLog(const QString& text, std::chrono::milliseconds timeout, int times) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (log().count(text) < times) {
        if (std::chrono::steady_clock::now() > deadline || !isRunning()) {
            ADD_FAILURE() << "not " << times << " times in the log: " << text.toStdString() << "\n"
                          << log_.toStdString();
            return false;
        }
        process_.waitForReadyRead(100);
    }
    return true;
}

int LirraProcess::servicePort() {
    static const QRegularExpression kLine(QStringLiteral("Lirra service at http://[^:]+:(\\d+)/"));
    waitForLog("Lirra service at ");
    return kLine.match(log()).captured(1).toInt();
}

int LirraProcess::quit() {
    process_.terminate();  // the destructor kills an app that does not quit
    return process_.waitForFinished(10000) ? process_.exitCode() : -1;
}

std::optional<QJsonObject> LirraProcess::call(const QString& page, const QString& method,
                                              const QJsonObject& params) {
    const auto list = httplib::Client("127.0.0.1", debugPort_).Get("/json");
    QUrl target;
    for (const QJsonValue t : QJsonDocument::fromJson(list ? list->body.c_str() : "").array())
        if (t["url"].toString().contains(page)) target = QUrl(t["webSocketDebuggerUrl"].toString());
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", quint16(target.port()));
    if (target.isEmpty() || !socket.waitForConnected(5000)) return std::nullopt;
    socket.write("GET " + target.path().toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                 "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n" +
                 "Sec-WebSocket-Key: bGlycmEtZTJlLWRyaXZlcg==\r\n\r\n");
    // The engine closes a connection whose first message comes before it has answered.
    QByteArray bytes;
    while (!bytes.contains("\r\n\r\n") && socket.waitForReadyRead(5000)) bytes += socket.readAll();
    if (!bytes.startsWith("HTTP/1.1 101")) return std::nullopt;
    bytes.remove(0, bytes.indexOf("\r\n\r\n") + 4);
    const QJsonObject message{{"id", 1}, {"method", method}, {"params", params}};
    socket.write(textFrame(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    do {
        bytes += socket.readAll();
        while (const auto payload = takeFrame(bytes)) {
            const QJsonObject answer = QJsonDocument::fromJson(*payload).object();
            if (answer["id"] == 1) return answer["result"].toObject();
        }
    } while (socket.waitForReadyRead(10000));
    return std::nullopt;
}

QJsonValue LirraProcess::read(const QString& page, const QString& script) {
    const auto result =
        call(page, "Runtime.evaluate", {{"expression", script}, {"returnByValue", true}});
    if (!result || result->contains("exceptionDetails")) return QJsonValue::Undefined;
    return result->value("result").toObject().value("value");
}

bool LirraProcess::waitForPage(const QString& page, const QString& script,
                               const QJsonValue& expected, std::chrono::milliseconds timeout) {
    QJsonValue value;
    if (waitUntil([&] { return (value = read(page, script)) == expected; }, timeout)) return true;
    ADD_FAILURE() << page.toStdString() << ": " << script.toStdString() << " is "
                  << QJsonDocument(QJsonArray{value}).toJson().toStdString() << "not "
                  << QJsonDocument(QJsonArray{expected}).toJson().toStdString()
                  << log_.toStdString();
    return false;
}

bool LirraProcess::press(const QString& page, const QString& key) {
    return call(page, "Input.dispatchKeyEvent", {{"type", "keyDown"}, {"key", key}}) &&
           call(page, "Input.dispatchKeyEvent", {{"type", "keyUp"}, {"key", key}});
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    for (const auto deadline = std::chrono::steady_clock::now() + timeout; !done();) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

int pixelsNear(const QString& path, const char* colour, int tolerance) {
    const QColor wanted(colour);
    const QImage image(path);
    int count = 0;
    const auto near = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            count += near(c.red(), wanted.red()) && near(c.green(), wanted.green()) &&
                     near(c.blue(), wanted.blue());
        }
    }
    return count;
}

QString shotShowing(const QString& name, int wanted,
                    const std::function<int(const QString&)>& count,
                    std::chrono::milliseconds timeout) {
    QDir().mkpath("e2e-shots");
    const QString path = QDir::current().absoluteFilePath("e2e-shots/" + name + ".png");
    int found = -1;
    const auto shot = [&] {
        QProcess::execute("import", {"-window", "root", path});
        return (found = count ? count(path) : QImage(path).isNull() ? -1 : 0) >= wanted;
    };
    if (waitUntil(shot, timeout)) return path;
    ADD_FAILURE() << path.toStdString() << ": " << found << " pixels, not " << wanted;
    return {};
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString makeClip(const QString& dir, const QString& name, double seconds) {
    const QString path = dir + "/" + name;
    const QStringList arguments =
        QStringLiteral(
            "-hide_banner -loglevel error -y -f lavfi -i color=c=red:s=640x180:r=25:d=%1 -f lavfi "
            "-i color=c=blue:s=640x180:r=25:d=%1 -f lavfi -i sine=frequency=330:duration=%1 "
            "-filter_complex [0:v][1:v]vstack=inputs=2[v] -map [v] -map 2:a -c:v libx264 -preset "
            "ultrafast -g 1 -pix_fmt yuv420p -c:a aac -metadata:s:a:0 title=English")
            .arg(seconds)
            .split(' ');
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", arguments + QStringList{path});
    if (ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0) return path;
    ADD_FAILURE() << "ffmpeg failed: " << ffmpeg.readAllStandardError().toStdString();
    return {};
}

}  // namespace lirra::test
