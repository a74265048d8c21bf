#include "DesktopApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>
#include <cstdlib>
#include <iostream>

namespace lirra::test {

namespace {

int freePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Reads until `enough` says the bytes suffice, or 5 s pass.
bool readUntil(QTcpSocket& socket, QByteArray& bytes, const std::function<bool()>& enough) {
    QElapsedTimer timer;
    timer.start();
    while (!enough()) {
        if (timer.elapsed() > 5000 || socket.state() == QAbstractSocket::UnconnectedState)
            return false;
        socket.waitForReadyRead(100);
        bytes += socket.readAll();
    }
    return true;
}

// The body of a GET answered with its Content-Length.
QByteArray httpGet(int port, const QByteArray& path) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000)) return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray bytes;
    qsizetype body = -1, length = -1;
    readUntil(socket, bytes, [&] {
        if (body < 0 && bytes.contains("\r\n\r\n")) {
            body = bytes.indexOf("\r\n\r\n") + 4;
            const auto header =
                QRegularExpression("(?i)content-length: *(\\d+)").match(bytes.left(body));
            length = header.hasMatch() ? header.captured(1).toLongLong() : 0;
        }
        return body >= 0 && bytes.size() >= body + length;
    });
    return body < 0 ? QByteArray() : bytes.mid(body, length);
}

// One masked text frame, as a client sends it.
QByteArray textFrame(const QByteArray& payload) {
    QByteArray frame("\x81", 1);
    if (payload.size() < 126) {
        frame += char(0x80 | payload.size());
    } else {
        frame += char(0x80 | 126);
        frame += char(payload.size() >> 8);
        frame += char(payload.size() & 0xff);
    }
    const char mask[4] = {0x11, 0x22, 0x33, 0x44};
    frame += QByteArray(mask, 4);
    for (qsizetype i = 0; i < payload.size(); ++i) frame += char(payload[i] ^ mask[i % 4]);
    return frame;
}

// The payload of the first whole frame at the start of `bytes` (taken out of it), if whole.
std::optional<QByteArray> takeFrame(QByteArray& bytes) {
    if (bytes.size() < 2) return std::nullopt;
    qsizetype length = bytes[1] & 0x7f, at = 2;
    if (length >= 126) {
        const int size = length == 126 ? 2 : 8;
        if (bytes.size() < 2 + size) return std::nullopt;
        length = 0;
        for (int i = 0; i < size; ++i)
            length = (length << 8) | static_cast<unsigned char>(bytes[2 + i]);
        at += size;
    }
    if (bytes.size() < at + length) return std::nullopt;
    const QByteArray payload = bytes.mid(at, length);
    bytes.remove(0, at + length);
    return payload;
}

}  // namespace

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}

DesktopApp::DesktopApp(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        const QString path = home_.path() + "/" + QString(name).toLower();
        QDir().mkpath(path);
        environment.insert(name, path);
    }
    QFile::setPermissions(home_.path() + "/xdg_runtime_dir",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert("LIRRA_ALERT_AUTOREPLY", "1");
    environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    debugPort_ = freePort();
    environment.insert("QTWEBENGINE_REMOTE_DEBUGGING", "127.0.0.1:" + QString::number(debugPort_));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    instance_ = "lirra-desktop-" + QString::number(QCoreApplication::applicationPid());
    process_.start(LIRRA_EXECUTABLE, arguments + QStringList{"--instance", instance_});
    process_.waitForStarted(10000);
}

DesktopApp::~DesktopApp() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(5000);
    if (std::getenv("LIRRA_DESKTOP_LOG")) std::cerr << log().toStdString();
}

QString DesktopApp::log() {
    while (process_.waitForReadyRead(0)) {
    }
    log_ += QString::fromUtf8(process_.readAll());
    return log_;
}

bool DesktopApp::waitForLog(const QString& text, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return log().contains(text); }, timeout);
}

int DesktopApp::launchAgain(const QStringList& arguments) {
    QProcess second;
    second.setProcessEnvironment(process_.processEnvironment());
    second.start(LIRRA_EXECUTABLE, arguments + QStringList{"--instance", instance_});
    return second.waitForFinished(30000) ? second.exitCode() : -1;
}

std::optional<QJsonObject> DesktopApp::call(const QString& page, const QString& method,
                                            const QJsonObject& params) {
    QString address;
    for (const QJsonValue target :
         QJsonDocument::fromJson(httpGet(debugPort_, "/json/list")).array()) {
        if (target["type"] == "page" && target["url"].toString().contains(page)) {
            address = target["webSocketDebuggerUrl"].toString();
        }
    }
    if (address.isEmpty()) return std::nullopt;
    const QUrl url(address);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, debugPort_);
    if (!socket.waitForConnected(3000)) return std::nullopt;
    socket.write(
        "GET " + url.path().toUtf8() +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: bGlycmEtZGVza3RvcC10ZXN0\r\n\r\n");
    QByteArray bytes;
    if (!readUntil(socket, bytes, [&] { return bytes.contains("\r\n\r\n"); }) ||
        !bytes.startsWith("HTTP/1.1 101")) {
        return std::nullopt;
    }
    bytes.remove(0, bytes.indexOf("\r\n\r\n") + 4);
    const QJsonObject request{{"id", 1}, {"method", method}, {"params", params}};
    socket.write(textFrame(QJsonDocument(request).toJson(QJsonDocument::Compact)));
    std::optional<QJsonObject> reply;
    readUntil(socket, bytes, [&] {
        while (const auto payload = takeFrame(bytes)) {
            const QJsonObject message = QJsonDocument::fromJson(*payload).object();
            if (message["id"] == 1) reply = message["result"].toObject();
        }
        return reply.has_value();
    });
    return reply;
}

QJsonValue DesktopApp::read(const QString& page, const QString& expression) {
    const auto result =
        call(page, "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}});
    return result ? (*result)["result"].toObject()["value"] : QJsonValue(QJsonValue::Undefined);
}

bool DesktopApp::waitForPage(const QString& page, const QString& expression,
                             const QJsonValue& expected, std::chrono::milliseconds timeout) {
    const bool seen = waitUntil([&] { return read(page, expression) == expected; }, timeout);
    if (!seen) {
        std::cerr << "waited for " << expression.toStdString()
                  << " == " << QJsonDocument(QJsonArray{expected}).toJson().toStdString()
                  << ", last: "
                  << QJsonDocument(QJsonArray{read(page, expression)}).toJson().toStdString();
    }
    return seen;
}

bool DesktopApp::press(const QString& page, const QString& key) {
    const QString text = key.size() == 1 ? key : QString();
    const int code = key == "Tab" ? 9 : key.size() == 1 ? key.toUpper()[0].unicode() : 0;
    for (const char* type : {"keyDown", "keyUp"}) {
        QJsonObject event{{"type", type}, {"key", key}, {"windowsVirtualKeyCode", code}};
        if (!text.isEmpty() && QString(type) == "keyDown") event["text"] = text;
        if (!call(page, "Input.dispatchKeyEvent", event)) return false;
    }
    return true;
}

QString makeClip(const QString& dir, const QString& name, int seconds) {
    const QString path = dir + "/" + name + ".mkv";
    QProcess ffmpeg;
    const QString length = QString::number(seconds);
    ffmpeg.start("ffmpeg", {"-hide_banner",
                            "-loglevel",
                            "error",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            "testsrc=size=640x360:rate=25:duration=" + length,
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=frequency=440:duration=" + length,
                            "-c:v",
                            "libx264",
                            "-preset",
                            "ultrafast",
                            "-pix_fmt",
                            "yuv420p",
                            "-c:a",
                            "aac",
                            path});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) return {};
    QFile srt(dir + "/" + name + ".en.srt");
    if (!srt.open(QIODevice::WriteOnly)) return {};
    const auto at = [](int s) {
        return QString("00:%1:%2,000")
            .arg(s / 60, 2, 10, QChar('0'))
            .arg(s % 60, 2, 10, QChar('0'));
    };
    for (int i = 0, start = 1; start + 2 < seconds; ++i, start += 4) {
        srt.write(QString("%1\n%2 --> %3\nLine %1\n\n")
                      .arg(i + 1)
                      .arg(at(start), at(start + 2))
                      .toUtf8());
    }
    return path;
}

}  // namespace lirra::test
