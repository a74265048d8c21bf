// SPDX-License-Identifier: GPL-3.0-or-later
// MPRIS (org.mpris.MediaPlayer2) on a D-Bus connection, over a MediaControlsTarget: the root
// and Player interfaces at /org/mpris/MediaPlayer2, their PropertiesChanged and Seeked signals.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include "platform/MediaControls.h"

namespace lirra {

inline constexpr char kMprisServicePrefix[] = "org.mpris.MediaPlayer2.";
inline constexpr char kMprisName[] = "lirra";
inline constexpr char kMprisObjectPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kMprisRootInterface[] = "org.mpris.MediaPlayer2";
inline constexpr char kMprisPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
inline constexpr char kMprisIdentity[] = "Lirra";
inline constexpr char kMprisDesktopEntry[] = "app.lirra.Lirra";

class MprisPlayerAdaptor;

class MprisService : public QObject, public MediaControls {
    Q_OBJECT
  public:
    explicit MprisService(MediaControlsTarget& target, QObject* parent = nullptr);
    ~MprisService() override;

    // Exports the interfaces and takes org.mpris.MediaPlayer2.lirra, or, when another Lirra
    // holds it, that name with ".instance" and the process id. The bus name taken, or empty
    // with `error` set.
    QString publish(QDBusConnection connection, QString* error);

    void changed(unsigned changes) override;
    void seeked(std::int64_t positionUs) override;

    MediaControlsTarget& target() { return target_; }
    // The Player interface's properties named by `changes`, as they are now.
    QVariantMap playerProperties(unsigned changes) const;

  private:
    MediaControlsTarget& target_;
    MprisPlayerAdaptor* player_;
    std::optional<QDBusConnection> connection_;
    QString busName_;
};

}  // namespace lirra
