// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only settings: a settings file, overridden by the options of the command line (which the
// app reads and sets here).
// Filled on the main thread at start-up, read afterwards; not locked.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace lirra {

class UserDefaults {
  public:
    // The process-wide defaults the app fills at start-up.
    static UserDefaults& standard();

    // Where the settings file lives: $XDG_CONFIG_HOME/lirra/settings (or ~/.config/lirra/settings).
    static std::filesystem::path defaultSettingsPath();

    // Reads `key = value` lines (a line starting with '#' is a comment; blanks around keys and
    // values are dropped; a later line wins). A missing file is not an error.
    // Returns false with `error` set when the file exists but cannot be read.
    bool loadFile(const std::filesystem::path& path, std::string* error = nullptr);

    std::optional<std::string> stringForKey(const std::string& key) const;
    void setString(const std::string& key, const std::string& value);  // for tests and start-up

  private:
    std::map<std::string, std::string> values_;
};

}  // namespace lirra
