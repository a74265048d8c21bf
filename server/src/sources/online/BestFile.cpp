// SPDX-License-Identifier: GPL-3.0-or-later
#include "BestFile.h"

#include <algorithm>
#include <tuple>

namespace lirra::server::online {

bool betterFile(const Candidate& a, const Candidate& b) {
    auto rank = [](const Candidate& c) {
        return std::make_tuple(c.hashMatch, !(c.machineTranslated || c.aiTranslated),
                               !c.hearingImpaired, c.downloads, -c.fileId);
    };
    return rank(a) > rank(b);
}

std::map<std::string, Candidate> pickBest(const std::vector<Candidate>& candidates,
                                          const std::vector<std::string>& wanted) {
    std::map<std::string, Candidate> best;
    for (const auto& candidate : candidates) {
        if (std::find(wanted.begin(), wanted.end(), candidate.language) == wanted.end()) continue;
        const auto it = best.find(candidate.language);
        if (it == best.end()) {
            best.emplace(candidate.language, candidate);
        } else if (betterFile(candidate, it->second)) {
            it->second = candidate;
        }
    }
    return best;
}

}  // namespace lirra::server::online
