// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioInfo.h"

#include <algorithm>
#include <map>

#include "PageEvents.h"

namespace lirra {

QString audioInfoText(const QStringList& names, const QVector<int>& indexes, int current) {
    std::map<QString, int> tracks;
    const qsizetype count = std::min(names.size(), indexes.size());
    for (qsizetype i = 0; i < count; ++i) {
        tracks[names[i]] = indexes[i];
    }
    QString list = QStringLiteral("{");
    for (const auto& [name, index] : tracks) {
        list +=
            jsStringLiteral(name) + QLatin1Char(':') + QString::number(index) + QLatin1String(", ");
    }
    list += QLatin1Char('}');
    // Concatenated rather than formatted: a name may hold "%1" or "%2".
    return QLatin1String("{audioTracks:") + list + QLatin1String(", audioTrack:") +
           QString::number(current) + QLatin1Char('}');
}

}  // namespace lirra
