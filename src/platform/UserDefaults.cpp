// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserDefaults.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace lirra {

namespace {

// A settings file is a handful of lines; anything far larger is not ours.
constexpr std::uintmax_t kMaxSettingsFileBytes = 1024 * 1024;

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

std::filesystem::path UserDefaults::defaultSettingsPath() {
    std::filesystem::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        config = std::filesystem::path(home && *home ? home : ".") / ".config";
    }
    return config / "lirra" / "settings";
}

bool UserDefaults::loadFile(const std::filesystem::path& path, std::string* error) {
    std::error_code code;
    const auto status = std::filesystem::status(path, code);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    if (code) {
        setError(error, path.string() + ": " + code.message());
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        setError(error, path.string() + ": not a regular file");
        return false;
    }
    const auto size = std::filesystem::file_size(path, code);
    if (code || size > kMaxSettingsFileBytes) {
        setError(error, path.string() + ": " + (code ? code.message() : "file too large"));
        return false;
    }
    std::ifstream file(path);
    if (!file) {
        setError(error, path.string() + ": " + std::strerror(errno));
        return false;
    }
    // Only whole lines are comments: values such as URLs may contain '#'.
    std::string line;
    while (std::getline(file, line)) {
        const std::string content = trimmed(line);
        if (content.empty() || content.front() == '#') continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = trimmed(content.substr(0, equals));
        if (key.empty()) continue;
        values_[key] = trimmed(content.substr(equals + 1));
    }
    if (file.bad()) {
        setError(error, path.string() + ": read error");
        return false;
    }
    return true;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void UserDefaults::setString(const std::string& key, const std::string& value) {
    values_[key] = value;
}

}  // namespace lirra
