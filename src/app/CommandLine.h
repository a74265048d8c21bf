// SPDX-License-Identifier: GPL-3.0-or-later
// What `lirra [options] [--] [VIDEO_FILE_OR_URL]` asks for, read from the launch arguments and
// the settings file, and the texts `--help`, `--version` and a usage error print.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/UserDefaults.h"
#include "state/VideoLocation.h"

namespace lirra {

// Exit statuses (see the manual page).
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CommandLine {
    bool help = false;
    bool version = false;
    bool verbose = false;                       // `--verbose` or `verbose = 1` in the settings
    std::optional<VideoLocation> hashLocation;  // `--hash`: print the hash and exit
    // The video to open: an absolute path or a URL, as text (the form the desktop hands over).
    QString location;
    std::optional<QString> baseUrl;  // the service to use; none: the built-in one
    QStringList notices;             // told on stderr; the app starts all the same
    QString error;                   // not empty: the arguments are unusable (exit 2)
};

// Applies the options to `defaults` (they win over the settings file) and reads what the app
// needs. `arguments` excludes the program name.
CommandLine readCommandLine(const QStringList& arguments, UserDefaults& defaults);

// `--help`'s text: the usage line and every option.
QString helpText();
// "lirra VERSION", the version being the build's project version.
QString versionText();
// What a usage error prints on stderr: the error, the usage line and where to find more.
QString usageErrorText(const QString& error);

// An absolute http(s) URL with a host, ending in "/"; none with `error` set otherwise.
std::optional<QString> normalizedBaseUrl(const QString& text, QString* error);

// A URL stays as it is; a file:// URL becomes its local path (percent-decoded); a path becomes
// absolute so that a running instance can take it. Empty with `error` set for a file URL of
// another machine.
QString normalizedLocation(const QString& location, QString* error = nullptr);

// The first line of a small file that holds a secret (a key given by file, never on the command
// line where every user's `ps` shows it); none with `error` set when it cannot be read.
std::optional<std::string> readKeyFile(const std::string& path, QString* error);

}  // namespace lirra
