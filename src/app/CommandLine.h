// What `lirra [options] [FILE_OR_URL]` asks for, read from the launch arguments and the settings.
#pragma once

#include <QString>
#include <optional>

#include "platform/UserDefaults.h"
#include "state/VideoLocation.h"

namespace lirra {

inline constexpr char kUsage[] =
    "usage: lirra [options] [VIDEO_FILE_OR_URL]\n"
    "\n"
    "Plays a video with its subtitles for learners of English.\n"
    "\n"
    "options:\n"
    "  --hash PATH_OR_URL   print the video's hash and size as sent to the service, then exit\n"
    "  --base-url URL       the Lirra service to use (default: the one built into the app)\n"
    "  --file-name NAME     the file name sent to the service for a video opened by URL\n"
    "  --data DIR           where the built-in service keeps its data\n"
    "                       (default: ~/.local/share/lirra)\n"
    "  --instance NAME      the single-instance name (default: one per user)\n"
    "  --verbose            also log page loads, bridge calls and the scripts sent to pages\n"
    "  --opensubtitles-key-file PATH\n"
    "                       a file holding your OpenSubtitles.com API key: videos with no\n"
    "                       subtitles of their own are looked up there by hash\n"
    "  --opensubtitles-url URL\n"
    "                       that API's root (default https://api.opensubtitles.com/api/v1)\n"
    "  --anki-url URL       where AnkiConnect answers, for the notebook's cards\n"
    "                       (default http://127.0.0.1:8765)\n"
    "  --anki-key KEY       AnkiConnect's key, when it asks for one\n"
    "  --hwdec NAMES        hardware video decoding: auto-safe (the default, tried only\n"
    "                       where there is a GPU), no, or decoder names such as vaapi\n"
    "  --help               show this text\n"
    "\n"
    "Settings may also be given in ~/.config/lirra/settings as `key = value` lines\n"
    "(base-url, file-name, data, verbose, opensubtitles-key-file, opensubtitles-url, anki-url,\n"
    "anki-key, hwdec); options on the command line win.\n";

struct CommandLine {
    bool help = false;
    bool verbose = false;                       // `--verbose` or `verbose = 1` in the settings
    std::optional<VideoLocation> hashLocation;  // `--hash`: print the hash and exit
    // The video to open: an absolute path or a URL, as text (the form the desktop hands over).
    QString location;
    std::optional<QString> baseUrl;  // the service to use; none: the built-in one
    QString error;                   // not empty: the arguments are unusable
};

// Applies the arguments to `defaults` (they win over the settings file) and reads what the app
// needs. `arguments` excludes the program name.
CommandLine readCommandLine(const QStringList& arguments, UserDefaults& defaults);

// An absolute http(s) URL with a host, ending in "/"; none with `error` set otherwise.
std::optional<QString> normalizedBaseUrl(const QString& text, QString* error);

// A URL stays as it is; a path becomes absolute so that a running instance can take it.
QString normalizedLocation(const QString& location);

}  // namespace lirra
