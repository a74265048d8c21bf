// SPDX-License-Identifier: GPL-3.0-or-later
// The pairs of a Cookie header ("a=1; name=value; b=2").
#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace lirra::server {

std::vector<std::pair<std::string_view, std::string_view>> cookiePairs(std::string_view header);

}  // namespace lirra::server
