// SPDX-License-Identifier: GPL-3.0-or-later
// Files compiled into the server (pages, scripts, jQuery); the table is generated at build time.
#pragma once

#include <string_view>
#include <vector>

namespace lirra::server {

struct Asset {
    std::string_view name;  // "home.html", "jquery.min.js"...
    std::string_view bytes;
};

const std::vector<Asset>& embeddedAssets();

}  // namespace lirra::server
