// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <fstream>

#ifndef LIRRA_VERSION
#error "LIRRA_VERSION must name the project version"
#endif

namespace lirra {

namespace {

// One option: its names (a one-letter name first when it has one), the name of its value (none
// for a flag), whether the settings file may give it too, and its help text, whose lines after
// the first are indented by the caller.
struct OptionRow {
    QStringList names;
    const char* value;
    bool setting;
    const char* help;
};

const std::vector<OptionRow>& optionRows() {
    static const std::vector<OptionRow> rows = {
        {{"h", "help"}, nullptr, false, "show this text and exit"},
        {{"v", "version"}, nullptr, false, "show the version and exit"},
        {{"hash"},
         "PATH_OR_URL",
         false,
         "print the video's hash and size as sent to the service, then exit"},
        {{"base-url"},
         "URL",
         true,
         "the Lirra service to use (default: the one built into the app)"},
        {{"file-name"},
         "NAME",
         true,
         "the file name sent to the service for a video opened by URL"},
        {{"data"},
         "DIR",
         true,
         "where the built-in service keeps its data\n(default: ~/.local/share/lirra)"},
        {{"instance"}, "NAME", true, "the single-instance name (default: one per user)"},
        {{"verbose"},
         nullptr,
         true,
         "also log page loads, bridge calls and the scripts sent to pages"},
        {{"opensubtitles-key-file"},
         "PATH",
         true,
         "a file holding your OpenSubtitles.com API key: videos with no\nsubtitles of their own "
         "are looked up there by hash"},
        {{"opensubtitles-url"},
         "URL",
         true,
         "that API's root (default https://api.opensubtitles.com/api/v1)"},
        {{"anki-url"},
         "URL",
         true,
         "where AnkiConnect answers, for the notebook's cards\n(default http://127.0.0.1:8765)"},
        {{"anki-key-file"}, "PATH", true, "a file holding AnkiConnect's key, when it asks for one"},
        {{"hwdec"},
         "NAMES",
         true,
         "hardware video decoding: auto-safe (the default, tried only\nwhere there is a GPU), no, "
         "or decoder names such as vaapi"},
    };
    return rows;
}

constexpr int kHelpColumn = 24;
constexpr int kTextWidth = 88;

QString optionLabel(const OptionRow& row) {
    QStringList names;
    for (const QString& name : row.names) {
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    QString label = QStringLiteral("  ") + names.join(QStringLiteral(", "));
    if (row.value) label += QLatin1Char(' ') + QLatin1String(row.value);
    return label;
}

// Words filled into lines of at most kTextWidth characters.
QString wrapped(const QString& paragraph) {
    QString text, line;
    for (const QString& word : paragraph.split(QLatin1Char(' '))) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > kTextWidth) {
            text += line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return text + line + QLatin1Char('\n');
}

}  // namespace

QString helpText() {
    QString text = QStringLiteral(
        "usage: lirra [options] [--] [VIDEO_FILE_OR_URL]\n"
        "\n"
        "Plays a video with its subtitles for learners of English. The video is a file, a\n"
        "file:// URL or an http(s) URL; after \"--\" nothing more is read as an option.\n"
        "\n"
        "options:\n");
    const QString indent(kHelpColumn, QLatin1Char(' '));
    QStringList settings;
    for (const OptionRow& row : optionRows()) {
        const QString label = optionLabel(row);
        text += label.size() < kHelpColumn - 1 ? label.leftJustified(kHelpColumn)
                                               : label + QLatin1Char('\n') + indent;
        text +=
            QString::fromLatin1(row.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent);
        text += QLatin1Char('\n');
        if (row.setting) settings << row.names.last();
    }
    const QString settingsNote =
        QStringLiteral(
            "Settings may also be given in ~/.config/lirra/settings as `key = value` lines (%1); "
            "options on the command line win.")
            .arg(settings.join(QStringLiteral(", ")));
    return text + QLatin1Char('\n') + wrapped(settingsNote);
}

QString versionText() { return QStringLiteral("lirra " LIRRA_VERSION "\n"); }

QString usageErrorText(const QString& error) {
    return QStringLiteral(
               "lirra: %1\nusage: lirra [options] [--] [VIDEO_FILE_OR_URL]\n"
               "Try 'lirra --help' for the options.\n")
        .arg(error);
}

std::optional<QString> normalizedBaseUrl(const QString& text, QString* error) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || url.hasQuery() || url.hasFragment()) {
        if (error) {
            *error = QStringLiteral(
                         "the base URL \"%1\" is not an absolute http URL such as "
                         "http://127.0.0.1:8080/")
                         .arg(text);
        }
        return std::nullopt;
    }
    QString normalized = url.toString(QUrl::FullyEncoded);
    if (!normalized.endsWith(QLatin1Char('/'))) normalized += QLatin1Char('/');
    return normalized;
}

QString normalizedLocation(const QString& location, QString* error) {
    QString path = location;
    // What the desktop hands over (`Exec=lirra -- %U`): file:///home/me/My%20Film.mkv.
    if (location.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(location);
        const QString host = url.host();
        if (!url.isValid() || !url.isLocalFile() ||
            (!host.isEmpty() && host != QLatin1String("localhost"))) {
            if (error)
                *error = QStringLiteral("\"%1\" is not a file on this computer").arg(location);
            return {};
        }
        path = QUrl(url.adjusted(QUrl::RemoveAuthority)).toLocalFile();
    } else if (location.isEmpty() || VideoLocation::fromText(location).isUrl()) {
        return location;
    }
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::optional<std::string> readKeyFile(const std::string& path, QString* error) {
    constexpr std::size_t kMaxKeyBytes = 1024;
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line) || line.size() > kMaxKeyBytes) {
        if (error)
            *error = QStringLiteral("cannot read a key from %1").arg(QString::fromStdString(path));
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

CommandLine readCommandLine(const QStringList& arguments, UserDefaults& defaults) {
    CommandLine result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const OptionRow& row : optionRows()) {
        parser.addOption(row.value
                             ? QCommandLineOption(row.names, QString(), QLatin1String(row.value))
                             : QCommandLineOption(row.names));
    }
    if (!parser.parse(QStringList{QStringLiteral("lirra")} + arguments)) {
        result.error = parser.errorText();
        return result;
    }
    result.help = parser.isSet(QStringLiteral("help"));
    result.version = parser.isSet(QStringLiteral("version"));
    if (result.help || result.version) return result;

    // Given on the command line, an option wins over the settings file.
    for (const OptionRow& row : optionRows()) {
        const QString& name = row.names.last();
        if (!row.setting || !parser.isSet(name)) continue;
        defaults.setString(name.toStdString(),
                           row.value ? parser.value(name).toStdString() : std::string("1"));
    }
    const std::string verbose = defaults.stringForKey("verbose").value_or("0");
    result.verbose = verbose == "1" || verbose == "true" || verbose == "yes";
    if (defaults.stringForKey("anki-key")) {
        result.notices << QStringLiteral(
            "the setting anki-key is no longer read: put the key in a file and name it with "
            "anki-key-file");
    }

    // --hash counts only on the command line, never from the settings file.
    if (parser.isSet(QStringLiteral("hash"))) {
        const QString location =
            normalizedLocation(parser.value(QStringLiteral("hash")), &result.error);
        if (!result.error.isEmpty()) return result;
        result.hashLocation = VideoLocation::fromText(location);
    }
    const QStringList videos = parser.positionalArguments();
    if (!videos.isEmpty()) {
        result.location = normalizedLocation(videos.front(), &result.error);
        if (!result.error.isEmpty()) return result;
    }
    // A file manager hands over every selected video; one plays.
    if (videos.size() > 1) {
        const qsizetype others = videos.size() - 1;
        result.notices << QStringLiteral("playing %1; %2 left out")
                              .arg(videos.front(),
                                   others == 1 ? QStringLiteral("the other video is")
                                               : QStringLiteral("%1 other videos are").arg(others));
    }
    if (const auto base = defaults.stringForKey("base-url"); base && !base->empty()) {
        QString baseError;
        result.baseUrl = normalizedBaseUrl(QString::fromStdString(*base), &baseError);
        if (!result.baseUrl) result.error = baseError;
    }
    return result;
}

}  // namespace lirra
