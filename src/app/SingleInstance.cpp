// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace lirra {

namespace {
// Locations travel as one UTF-8 line; anything longer than this is not a path or URL we take.
constexpr qint64 kMaxMessageBytes = 64 * 1024;
}  // namespace

// In the user's runtime folder, which only the user may enter: a socket in the shared temporary
// folder can be made first by another user, who would then receive every forwarded path.
QString SingleInstance::socketPath(const QString& name) {
    if (name.startsWith(QLatin1Char('/'))) return name;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QLatin1Char('/') + name;
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(socketPath(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() {
    return QStringLiteral("lirra-%1").arg(static_cast<qulonglong>(getuid()));
}

bool SingleInstance::forwardToRunningInstance(const QString& location, int timeoutMs) {
    if (name_.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(location.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // Wait for the receiver's acknowledgement so the file is not lost if we exit first.
    return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

bool SingleInstance::listen(std::function<void(const QString&)> onOpen, QString* error) {
    onOpen_ = std::move(onOpen);
    if (name_.isEmpty()) {
        if (error) *error = QStringLiteral("no runtime folder of this user's own");
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A stale socket left by a crashed instance: nobody answered forwardToRunningInstance.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            if (error) *error = server_->errorString();
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::readConnection);
    return true;
}

void SingleInstance::readConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) return;
            const QString location = QString::fromUtf8(socket->readLine()).trimmed();
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            if (onOpen_) onOpen_(location);
        });
    }
}

}  // namespace lirra
