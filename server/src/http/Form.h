// SPDX-License-Identifier: GPL-3.0-or-later
// application/x-www-form-urlencoded bodies, parsed strictly: bad escapes, invalid UTF-8 and
// repeated fields are errors, not guesses.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace lirra::server {

struct Form {
    std::map<std::string, std::string> fields;
    std::string error;  // empty when the body parsed
};

Form parseForm(std::string_view body);

// Percent-decoding of one form component ('+' is a space); false on a malformed escape.
bool decodeFormComponent(std::string_view in, std::string& out);

}  // namespace lirra::server
