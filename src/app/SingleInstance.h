// SPDX-License-Identifier: GPL-3.0-or-later
// One Lirra per user session: a second `lirra FILE` hands FILE to the running one and exits.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace lirra {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Sends `location` (may be empty: just "wake up") to a running instance.
    // True when one received it; false when none is running.
    bool forwardToRunningInstance(const QString& location, int timeoutMs = 2000);

    // Becomes the running instance; `onOpen` gets each location forwarded later.
    // False (with `error`) when the name cannot be taken.
    bool listen(std::function<void(const QString&)> onOpen, QString* error = nullptr);

    static QString defaultName();
    // Where the socket of `name` lives: a name that is a path as it is, else in the runtime folder.
    static QString socketPath(const QString& name);

  private:
    void readConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
    std::function<void(const QString&)> onOpen_;
};

}  // namespace lirra
