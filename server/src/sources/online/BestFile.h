// SPDX-License-Identifier: GPL-3.0-or-later
// Which of the database's files to take for each language.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "AnswerReader.h"

namespace lirra::server::online {

// True when `a` is the better file for a learner: made for this video file (hash match) first,
// then written by people rather than machine- or AI-translated, then without the hearing-
// impaired notes, then the more downloaded; the lower file id settles the rest.
bool betterFile(const Candidate& a, const Candidate& b);

// The best candidate of each wanted language (ISO 639-2/B) that has one.
std::map<std::string, Candidate> pickBest(const std::vector<Candidate>& candidates,
                                          const std::vector<std::string>& wanted);

}  // namespace lirra::server::online
