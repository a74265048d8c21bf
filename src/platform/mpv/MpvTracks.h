// SPDX-License-Identifier: GPL-3.0-or-later
// The media's streams as mpv lists them in "track-list", and the names the player gives them.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <vector>

#include "platform/MediaPlayer.h"

struct mpv_node;

namespace lirra {

struct MpvTrack {
    std::int64_t id = 0;  // counted per type from 1
    QString type;         // mpv's: "video", "audio" or "sub"
    QString title;
    QString lang;
    int demuxWidth = 0;  // 0 when the container does not say
    int demuxHeight = 0;
};

// Entries that are not maps or lack an id or a type are skipped (the node is engine input).
std::vector<MpvTrack> parseTrackList(const mpv_node& node);

// Title, else language, else "Track N".
QString audioTrackName(const MpvTrack& track);

// The audio tracks' names and ids, at the same positions.
QStringList audioTrackNames(const std::vector<MpvTrack>& tracks);
QVector<int> audioTrackIds(const std::vector<MpvTrack>& tracks);

// One entry per stream; a video stream's size is the container's, else the decoded picture's.
std::vector<TrackInformation> tracksInformation(const std::vector<MpvTrack>& tracks,
                                                int pictureWidth, int pictureHeight);

}  // namespace lirra
