// Read-only settings: a settings file, overridden by launch arguments of the form `--key value`.
// Filled on the main thread at start-up, read afterwards; not locked.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

    // Takes `--key value` and `--key=value` pairs (they override the file) and returns the
    // remaining positional arguments in order; "--" ends the options. `arguments` excludes the
    // program name. `flags` names options that take no value
    // (they are stored as "1"). Returns false with `error` set for an option missing its value.
    bool applyArguments(const std::vector<std::string>& arguments,
                        std::vector<std::string>* positional, std::string* error = nullptr,
                        const std::vector<std::string>& flags = {});

    std::optional<std::string> stringForKey(const std::string& key) const;
    void setString(const std::string& key, const std::string& value);  // for tests and start-up

  private:
    std::map<std::string, std::string> values_;
};

}  // namespace lirra
