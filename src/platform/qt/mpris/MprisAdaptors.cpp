// SPDX-License-Identifier: GPL-3.0-or-later
#include "MprisAdaptors.h"

#include "MprisMimeTypes.h"
#include "MprisService.h"

namespace lirra {

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisRootAdaptor::identity() const { return QString::fromLatin1(kMprisIdentity); }

QString MprisRootAdaptor::desktopEntry() const { return QString::fromLatin1(kMprisDesktopEntry); }

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return QStringLiteral(LIRRA_MIME_TYPES).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void MprisRootAdaptor::Raise() { service_->target().raise(); }

void MprisRootAdaptor::Quit() { service_->target().quit(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayerAdaptor::playbackStatus() const {
    return service_->playerProperties(MediaControls::kStatus)
        .value(QStringLiteral("PlaybackStatus"))
        .toString();
}

double MprisPlayerAdaptor::rate() const { return service_->target().state().rate; }

QVariantMap MprisPlayerAdaptor::metadata() const {
    return service_->playerProperties(MediaControls::kTrack)
        .value(QStringLiteral("Metadata"))
        .toMap();
}

double MprisPlayerAdaptor::volume() const { return service_->target().state().volume; }

void MprisPlayerAdaptor::setVolume(double volume) { service_->target().setVolume(volume); }

qlonglong MprisPlayerAdaptor::position() const { return service_->target().positionUs(); }

bool MprisPlayerAdaptor::canStep() const { return service_->target().state().hasVideo; }

void MprisPlayerAdaptor::Next() { service_->target().next(); }

void MprisPlayerAdaptor::Previous() { service_->target().previous(); }

void MprisPlayerAdaptor::Pause() { service_->target().pause(); }

void MprisPlayerAdaptor::PlayPause() { service_->target().playPause(); }

void MprisPlayerAdaptor::Stop() { service_->target().stop(); }

void MprisPlayerAdaptor::Play() { service_->target().play(); }

void MprisPlayerAdaptor::Seek(qlonglong offset) { service_->target().seek(offset); }

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    service_->target().setPosition(trackId.path(), position);
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) { service_->target().openUri(uri); }

}  // namespace lirra
