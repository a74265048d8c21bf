#include "app/CommandLine.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace lirra {

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

QString normalizedLocation(const QString& location) {
    if (location.isEmpty() || VideoLocation::fromText(location).isUrl()) return location;
    return QDir::cleanPath(QFileInfo(location).absoluteFilePath());
}

CommandLine readCommandLine(const QStringList& arguments, UserDefaults& defaults) {
    static const QStringList kKnownOptions = {QStringLiteral("hash"),
                                              QStringLiteral("base-url"),
                                              QStringLiteral("file-name"),
                                              QStringLiteral("data"),
                                              QStringLiteral("instance"),
                                              QStringLiteral("help"),
                                              QStringLiteral("verbose"),
                                              QStringLiteral("opensubtitles-key-file"),
                                              QStringLiteral("opensubtitles-url"),
                                              QStringLiteral("anki-url"),
                                              QStringLiteral("anki-key"),
                                              QStringLiteral("hwdec")};
    CommandLine result;
    std::vector<std::string> args;
    // --help and --hash count only on the command line, never from the settings file.
    bool hashAsked = false;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        args.push_back(argument.toStdString());
        if (optionsEnded || !argument.startsWith(QLatin1String("--"))) continue;
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const QString key = argument.mid(2).section(QLatin1Char('='), 0, 0);
        if (!kKnownOptions.contains(key)) {
            result.error = QStringLiteral("unknown option %1").arg(argument);
            return result;
        }
        result.help = result.help || key == QLatin1String("help");
        hashAsked = hashAsked || key == QLatin1String("hash");
    }

    std::vector<std::string> positional;
    std::string error;
    if (!defaults.applyArguments(args, &positional, &error, {"help", "verbose"})) {
        result.error = QString::fromStdString(error);
        return result;
    }
    const std::string verbose = defaults.stringForKey("verbose").value_or("0");
    result.verbose = verbose == "1" || verbose == "true" || verbose == "yes";
    if (hashAsked) {
        result.hashLocation = VideoLocation::fromText(
            QString::fromStdString(defaults.stringForKey("hash").value_or("")));
    }
    if (positional.size() > 1) {
        result.error = QStringLiteral("give at most one video (got %1)").arg(positional.size());
        return result;
    }
    if (!positional.empty()) {
        result.location = normalizedLocation(QString::fromStdString(positional.front()));
    }
    if (const auto base = defaults.stringForKey("base-url"); base && !base->empty()) {
        QString baseError;
        result.baseUrl = normalizedBaseUrl(QString::fromStdString(*base), &baseError);
        if (!result.baseUrl) result.error = baseError;
    }
    return result;
}

}  // namespace lirra
