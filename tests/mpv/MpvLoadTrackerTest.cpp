// SPDX-License-Identifier: GPL-3.0-or-later
// The load tracker against event sequences as mpv produces them, stale ones included.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mpv/MpvLoadTracker.h"

namespace lirra::test {
namespace {

using Phase = MpvLoadTracker::Phase;
using End = MpvLoadTracker::EndReason;

// Runs steps such as "open send reply:5 start:5 loaded eof:5": reply (":entry" when mpv said
// one), refused (a failed reply), stale (the reply to the loadfile before the latest),
// start:entry, loaded, the end of an entry by its reason (eof, error, redirect:entry:inserted,
// other), stop. The steps that answer must answer true, or false when written with a "-".
void run(MpvLoadTracker& tracker, const std::string& steps) {
    static const std::vector<std::string> ends = {"eof", "error", "redirect", "other"};  // as End
    std::uint64_t serial = 0;
    std::istringstream words(steps);
    for (std::string word; words >> word;) {
        SCOPED_TRACE(word);
        const bool answer = word[0] != '-';
        std::vector<std::string> part;
        std::istringstream fields(word.substr(answer ? 0 : 1));
        for (std::string field; std::getline(fields, field, ':');) part.push_back(field);
        const auto number = [&](std::size_t i) -> std::int64_t {
            return i < part.size() ? std::stoll(part[i]) : 0;
        };
        const std::string& verb = part[0];
        std::optional<bool> said;  // by the steps that answer
        if (verb == "open") tracker.open();
        if (verb == "send") serial = tracker.loadSent();
        if (verb == "stop") tracker.stop();
        if (verb == "start") tracker.fileStarted(number(1));
        if (verb == "loaded") said = tracker.fileLoaded();
        const auto end = std::find(ends.begin(), ends.end(), verb);
        if (end != ends.end())
            said = tracker.fileEnded(number(1), End(end - ends.begin()), number(2));
        if (verb == "refused") said = tracker.loadReplied(serial, false, std::nullopt);
        if (verb == "stale") said = tracker.loadReplied(serial - 1, false, std::nullopt);
        if (verb == "reply")
            said = tracker.loadReplied(serial, true,
                                       part.size() > 1 ? std::optional(number(1)) : std::nullopt);
        EXPECT_EQ(said.value_or(answer), answer);
        EXPECT_TRUE(said || std::string(" open send stop start ").find(" " + verb + " ") !=
                                std::string::npos);
    }
}

TEST(MpvLoadTrackerTest, FollowsOnlyTheLatestLoadsEntry) {
    const struct {
        const char* name;
        std::string steps;
        Phase phase;
        bool fileActive, engaged;
    } cases[] = {
        {"played to its end", "open send reply:5 start:5 loaded eof:5", Phase::Ended, false, false},
        {"a reply without an entry: the next start is ours", "open send reply start:9 loaded",
         Phase::Loaded, true, true},
        {"the replaced media's start, load and end change nothing",
         "open send start:4 -loaded -error:4 reply:5", Phase::Opening, false, true},
        {"an earlier loadfile's reply is not the latest's", "open send send -stale", Phase::Opening,
         false, true},
        {"a refused loadfile fails", "open send refused", Phase::Failed, false, false},
        {"an unplayable file fails", "open send reply:2 start:2 error:2", Phase::Failed, false,
         false},
        {"a playlist goes on in the entry it inserted, not another",
         "open send reply:2 start:2 redirect:2:3 start:7 -loaded start:3 loaded", Phase::Loaded,
         true, true},
        {"after a stop, the stopped media's end is stale",
         "open send reply:2 start:2 loaded stop -other:2", Phase::Idle, false, false},
        {"a media the engine stopped itself rests idle", "open send reply:2 start:2 other:2",
         Phase::Idle, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MpvLoadTracker tracker;
        run(tracker, c.steps);
        EXPECT_EQ(std::tuple(tracker.phase(), tracker.fileActive(), tracker.engaged()),
                  std::tuple(c.phase, c.fileActive, c.engaged));
    }
}

}  // namespace
}  // namespace lirra::test
