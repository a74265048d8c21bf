// The bridge protocol's names, pinned: the pages send exactly these texts.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "bridge/BridgeNames.h"
#include "bridge/DataRequests.h"
#include "bridge/ExecutionCommands.h"

namespace lirra {
namespace {

using Names = std::vector<std::string>;

template <typename Handler>
Names namesOf(BridgeTable<Handler> table) {
    Names names;
    for (const BridgeEntry<Handler>& entry : table) {
        EXPECT_NE(entry.handler, nullptr) << entry.name;
        // Each name finds its own row: no name is listed twice.
        EXPECT_EQ(findHandler(table, QString::fromLatin1(entry.name)), entry.handler) << entry.name;
        names.emplace_back(entry.name);
    }
    return names;
}

TEST(BridgeTables, EveryCommandAndRequestAsThePagesWriteIt) {
    EXPECT_EQ(namesOf(executionCommands()),
              (Names{"Stop", "EnableDraggableHomeScreen", "ResizeForTutorial", "ResizeForPayment",
                     "SeekTo", "SetMuted", "SetVolume", "Play", "Pause", "SetPlaybackSpeed",
                     "SetAudioTrack"}));
    EXPECT_EQ(namesOf(dataRequests()), (Names{"Duration", "AudioInfo", "PlaybackSpeed", "Volume",
                                              "IsFullscreen", "FileName"}));
}

TEST(BridgeTables, KindsLinkAndArgumentNames) {
    const Names names = {kBridgeScheme,     kExecuteKind,   kRequestKind,    kRegistrationLinkName,
                         kPositionArgument, kMutedArgument, kVolumeArgument, kSpeedArgument,
                         kTrackArgument,    kGuidArgument};
    EXPECT_EQ(names, (Names{"app", "Execute", "Request", "PlayerRegister", "position", "muted",
                            "volume", "speed", "track", "guid"}));
}

TEST(BridgeTables, LookupIsExactAndCaseSensitive) {
    for (const char* name : {"play", "PLAY", " Play", "Play ", "", "Execute", "Duration"}) {
        EXPECT_EQ(findHandler(executionCommands(), QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(findHandler(dataRequests(), QStringLiteral("duration")), nullptr);
    EXPECT_EQ(findHandler(dataRequests(), QStringLiteral("Play")), nullptr);
}

}  // namespace
}  // namespace lirra
