// SPDX-License-Identifier: GPL-3.0-or-later
#include "MprisService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include "MprisAdaptors.h"

namespace lirra {

namespace {

QString statusText(PlaybackStatus status) {
    switch (status) {
        case PlaybackStatus::Playing:
            return QStringLiteral("Playing");
        case PlaybackStatus::Paused:
            return QStringLiteral("Paused");
        case PlaybackStatus::Stopped:
            break;
    }
    return QStringLiteral("Stopped");
}

// With no video the track is MPRIS's "no track" path.
QVariantMap metadataOf(const MediaControlsState& state) {
    QVariantMap metadata;
    metadata.insert(
        QStringLiteral("mpris:trackid"),
        QVariant::fromValue(QDBusObjectPath(
            state.trackId.isEmpty() ? QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")
                                    : state.trackId)));
    if (!state.hasVideo) return metadata;
    metadata.insert(QStringLiteral("xesam:title"), state.title);
    metadata.insert(QStringLiteral("xesam:url"), state.url);
    if (state.lengthUs) metadata.insert(QStringLiteral("mpris:length"), qlonglong{*state.lengthUs});
    return metadata;
}

}  // namespace

MprisService::MprisService(MediaControlsTarget& target, QObject* parent)
    : QObject(parent), target_(target), player_(nullptr) {
    new MprisRootAdaptor(this);
    player_ = new MprisPlayerAdaptor(this);
}

MprisService::~MprisService() {
    if (!connection_) return;
    connection_->unregisterObject(QString::fromLatin1(kMprisObjectPath));
    if (!busName_.isEmpty()) connection_->unregisterService(busName_);
}

QString MprisService::publish(QDBusConnection connection, QString* error) {
    if (!connection.isConnected()) {
        if (error) *error = QStringLiteral("no session bus: ") + connection.lastError().message();
        return {};
    }
    if (!connection.registerObject(QString::fromLatin1(kMprisObjectPath), this,
                                   QDBusConnection::ExportAdaptors)) {
        if (error)
            *error =
                QStringLiteral("the MPRIS object is taken: ") + connection.lastError().message();
        return {};
    }
    connection_ = connection;
    const QString name = QLatin1String(kMprisServicePrefix) + QLatin1String(kMprisName);
    // MPRIS names a second instance of one player with an ".instance" suffix.
    for (const QString& candidate :
         {name, name + QStringLiteral(".instance") +
                    QString::number(QCoreApplication::applicationPid())}) {
        if (connection.registerService(candidate)) {
            busName_ = candidate;
            return candidate;
        }
    }
    if (error)
        *error = QStringLiteral("cannot take %1: %2").arg(name, connection.lastError().message());
    return {};
}

QVariantMap MprisService::playerProperties(unsigned changes) const {
    const MediaControlsState state = target_.state();
    QVariantMap properties;
    if (changes & kStatus)
        properties.insert(QStringLiteral("PlaybackStatus"), statusText(state.status));
    if (changes & kTrack) properties.insert(QStringLiteral("Metadata"), metadataOf(state));
    if (changes & kVolume) properties.insert(QStringLiteral("Volume"), state.volume);
    if (changes & kRate) properties.insert(QStringLiteral("Rate"), state.rate);
    if (changes & kAbilities) {
        for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek"}) {
            properties.insert(QString::fromLatin1(name), state.hasVideo);
        }
    }
    return properties;
}

void MprisService::changed(unsigned changes) {
    if (!connection_) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kMprisPlayerInterface) << playerProperties(changes)
           << QStringList();
    connection_->send(signal);
}

void MprisService::seeked(std::int64_t positionUs) { emit player_->Seeked(positionUs); }

}  // namespace lirra
