// SPDX-License-Identifier: GPL-3.0-or-later
// The audio-track information the player page receives for its "AudioInfo" request: an object
// literal such as {audioTracks:{'English':1, 'French':2, }, audioTrack:1}.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace lirra {

// One entry per distinct name (a later track with the same name replaces the index of an
// earlier one), in name order; names become JavaScript string literals, so any track title
// arrives as text. Names and indexes pair up by position; extra items of the longer list are
// ignored.
QString audioInfoText(const QStringList& names, const QVector<int>& indexes, int current);

}  // namespace lirra
