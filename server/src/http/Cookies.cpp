// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/Cookies.h"

namespace lirra::server {

std::vector<std::pair<std::string_view, std::string_view>> cookiePairs(std::string_view header) {
    std::vector<std::pair<std::string_view, std::string_view>> pairs;
    while (!header.empty()) {
        const auto end = header.find(';');
        std::string_view pair = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view{} : header.substr(end + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos)
            pairs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    }
    return pairs;
}

}  // namespace lirra::server
