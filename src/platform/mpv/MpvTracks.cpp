// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvTracks.h"

#include <mpv/client.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace lirra {
namespace {

const mpv_node* member(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list) return nullptr;
    const mpv_node_list& list = *map.u.list;
    for (int i = 0; i < list.num; ++i) {
        if (list.keys[i] && std::strcmp(list.keys[i], key) == 0) return &list.values[i];
    }
    return nullptr;
}

QString stringMember(const mpv_node& map, const char* key) {
    const mpv_node* value = member(map, key);
    if (!value || value->format != MPV_FORMAT_STRING || !value->u.string) return {};
    return QString::fromUtf8(value->u.string);
}

std::int64_t intMember(const mpv_node& map, const char* key) {
    const mpv_node* value = member(map, key);
    if (!value) return 0;
    if (value->format == MPV_FORMAT_INT64) return value->u.int64;
    if (value->format == MPV_FORMAT_DOUBLE) return static_cast<std::int64_t>(value->u.double_);
    return 0;
}

int dimension(const mpv_node& map, const char* key) {
    const std::int64_t value = intMember(map, key);
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

std::vector<MpvTrack> parseTrackList(const mpv_node& node) {
    std::vector<MpvTrack> tracks;
    if (node.format != MPV_FORMAT_NODE_ARRAY || !node.u.list) return tracks;
    const mpv_node_list& list = *node.u.list;
    for (int i = 0; i < list.num; ++i) {
        const mpv_node& entry = list.values[i];
        MpvTrack track;
        track.id = intMember(entry, "id");
        track.type = stringMember(entry, "type");
        if (track.id <= 0 || track.type.isEmpty()) continue;
        track.title = stringMember(entry, "title");
        track.lang = stringMember(entry, "lang");
        track.demuxWidth = dimension(entry, "demux-w");
        track.demuxHeight = dimension(entry, "demux-h");
        tracks.push_back(std::move(track));
    }
    return tracks;
}

QString audioTrackName(const MpvTrack& track) {
    if (!track.title.isEmpty()) return track.title;
    if (!track.lang.isEmpty()) return track.lang;
    return QStringLiteral("Track %1").arg(track.id);
}

QStringList audioTrackNames(const std::vector<MpvTrack>& tracks) {
    QStringList names;
    for (const MpvTrack& track : tracks) {
        if (track.type == QLatin1String("audio")) names.append(audioTrackName(track));
    }
    return names;
}

QVector<int> audioTrackIds(const std::vector<MpvTrack>& tracks) {
    QVector<int> ids;
    for (const MpvTrack& track : tracks) {
        if (track.type == QLatin1String("audio")) ids.append(static_cast<int>(track.id));
    }
    return ids;
}

std::vector<TrackInformation> tracksInformation(const std::vector<MpvTrack>& tracks,
                                                int pictureWidth, int pictureHeight) {
    std::vector<TrackInformation> information;
    for (const MpvTrack& track : tracks) {
        TrackInformation info;
        info.type = track.type == QLatin1String("sub") ? QStringLiteral("text") : track.type;
        if (track.type == QLatin1String("video")) {
            // Containers usually give the size; otherwise the decoder's picture does.
            const bool fromDemuxer = track.demuxWidth > 0 && track.demuxHeight > 0;
            info.width = fromDemuxer ? track.demuxWidth : pictureWidth;
            info.height = fromDemuxer ? track.demuxHeight : pictureHeight;
        }
        information.push_back(info);
    }
    return information;
}

}  // namespace lirra
