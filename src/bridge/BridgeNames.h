// SPDX-License-Identifier: GPL-3.0-or-later
// Every name of the pages' bridge protocol, as the pages write them in app:///KIND/NAME?ARGUMENTS
// URLs: the kinds, the commands ("Execute"), the data requests ("Request") and their arguments.
// The pages are bound to these texts; a test pins each one.
#pragma once

namespace lirra {

inline constexpr char kBridgeScheme[] = "app";
inline constexpr char kExecuteKind[] = "Execute";
inline constexpr char kRequestKind[] = "Request";
// The last path component of the pages' registration link, whatever its scheme.
inline constexpr char kRegistrationLinkName[] = "PlayerRegister";

// Commands (ExecutionCommands.cpp).
inline constexpr char kStopCommand[] = "Stop";
inline constexpr char kEnableDraggableHomeScreenCommand[] = "EnableDraggableHomeScreen";
inline constexpr char kResizeForTutorialCommand[] = "ResizeForTutorial";
inline constexpr char kResizeForPaymentCommand[] = "ResizeForPayment";
inline constexpr char kSeekToCommand[] = "SeekTo";
inline constexpr char kSeekToMsCommand[] = "SeekToMs";
inline constexpr char kSetMutedCommand[] = "SetMuted";
inline constexpr char kSetVolumeCommand[] = "SetVolume";
inline constexpr char kPlayCommand[] = "Play";
inline constexpr char kPauseCommand[] = "Pause";
inline constexpr char kSetPlaybackSpeedCommand[] = "SetPlaybackSpeed";
inline constexpr char kSetAudioTrackCommand[] = "SetAudioTrack";
inline constexpr char kWatchMomentCommand[] = "WatchMoment";
inline constexpr char kToggleFullscreenCommand[] = "ToggleFullscreen";  // the page's F key

// The commands' arguments.
inline constexpr char kPositionArgument[] = "position";  // SeekTo: whole seconds
inline constexpr char kMutedArgument[] = "muted";        // SetMuted: a truth
inline constexpr char kVolumeArgument[] = "volume";      // SetVolume: 0..200
inline constexpr char kSpeedArgument[] = "speed";        // SetPlaybackSpeed: the rate
inline constexpr char kTrackArgument[] = "track";        // SetAudioTrack: the track index
// SeekToMs: milliseconds in kMillisecondsArgument, an exact seek.
// WatchMoment: the video file's absolute path as URL-safe base64 of its UTF-8 (no padding),
// and where to start in milliseconds.
inline constexpr char kFileArgument[] = "file";
inline constexpr char kMillisecondsArgument[] = "ms";

// Data requests (DataRequests.cpp); each carries the guid its reply is sent under.
inline constexpr char kDurationRequest[] = "Duration";
inline constexpr char kAudioInfoRequest[] = "AudioInfo";
inline constexpr char kPlaybackSpeedRequest[] = "PlaybackSpeed";
inline constexpr char kVolumeRequest[] = "Volume";
inline constexpr char kIsFullscreenRequest[] = "IsFullscreen";
inline constexpr char kFileNameRequest[] = "FileName";
// The commands this side knows, so that a page served to an older app can keep to the old ones.
inline constexpr char kCommandsRequest[] = "Commands";
inline constexpr char kGuidArgument[] = "guid";

}  // namespace lirra
