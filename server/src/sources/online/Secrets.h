// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's key, user name and password for the online subtitle database: kept in the data
// folder in a file only its owner may read, written whole or not at all, never logged.
#pragma once

#include <optional>
#include <string>

namespace lirra::server::online {

inline constexpr char kSecretsFileName[] = "opensubtitles.json";
inline constexpr std::size_t kMaxSecretBytes = 256;

struct Secrets {
    std::string apiKey;
    std::string user;
    std::string password;
};

// What the data folder holds; all empty when nothing was saved. A file others could read is
// made owner-only. Nothing with `error` set when the file is unreadable or malformed.
std::optional<Secrets> loadSecrets(const std::string& dataDirectory, std::string& error);

// Replaces the saved secrets (mode 0600, through a temporary file and a rename); an empty text
// on success, else why not.
std::string saveSecrets(const std::string& dataDirectory, const Secrets& secrets);

// The key in a key file: its first line without surrounding spaces. Nothing with `error` set
// when the file is unreadable, empty, too long or holds characters a key never has.
std::optional<std::string> readKeyFile(const std::string& path, std::string& error);

// True for text that may be a key (printable ASCII without spaces) or a user name or password
// (no control characters); at most kMaxSecretBytes either way.
bool validSecret(const std::string& text, bool isKey);

}  // namespace lirra::server::online
