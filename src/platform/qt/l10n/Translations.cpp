// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTranslator>
#include <iterator>
#include <memory>

namespace lirra {

namespace {

constexpr char kShownContext[] = "Shown";

// The texts the system's design gives and the app shows (alerts, their buttons, the loader), as
// the code that shows them spells them; the template takes them from here.
constexpr const char* kShownTexts[] = {
    QT_TRANSLATE_NOOP("Shown", "Couldn't open video"),
    QT_TRANSLATE_NOOP("Shown",
                      "Lirra failed to open your video - if you feel that we should have been able "
                      "to play this file, please report your problem to us at "),
    QT_TRANSLATE_NOOP("Shown", "OK"),
    QT_TRANSLATE_NOOP("Shown", "Something went wrong."),
    QT_TRANSLATE_NOOP("Shown",
                      "We couldn't find subtitles for your video. Please try again later!"),
    QT_TRANSLATE_NOOP("Shown", "Connecting..."),
    QT_TRANSLATE_NOOP("Shown", "Cannot reach the Lirra service. Open a video to try again."),
    QT_TRANSLATE_NOOP("Shown", "Searching subtitles..."),
    QT_TRANSLATE_NOOP("Shown", "Cancel"),
};

constexpr qsizetype kMaxTagLength = 12;

// "es_ES.UTF-8@euro" -> "es-ES"; "" for a value that names no language.
QString tagOfLocale(QString value) {
    value = value.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (value.isEmpty() || value == QLatin1String("C") || value == QLatin1String("POSIX"))
        return QString();
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z]{2,3}([_-][A-Za-z0-9]{2,8})?$"));
    if (!shape.match(value).hasMatch()) return QString();
    return value.replace(QLatin1Char('_'), QLatin1Char('-'));
}

QString translate(const char* text) { return QCoreApplication::translate(kShownContext, text); }

}  // namespace

QStringList localeLanguages(const std::function<QString(const char*)>& variable) {
    QStringList tags;
    const QString first = [&] {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (const QString value = variable(name); !value.isEmpty()) return value;
        }
        return QString();
    }();
    // As gettext has it: LANGUAGE counts unless the locale is C.
    if (tagOfLocale(first).isEmpty() && !first.isEmpty()) return tags;
    for (const QString& part : variable("LANGUAGE").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (const QString tag = tagOfLocale(part); !tag.isEmpty() && !tags.contains(tag))
            tags.append(tag);
    }
    if (tags.isEmpty() && !tagOfLocale(first).isEmpty()) tags.append(tagOfLocale(first));
    return tags;
}

QString acceptLanguage(const QStringList& tags) {
    QStringList all;
    for (const QString& tag : tags) {
        for (const QString& t : {tag, tag.section(QLatin1Char('-'), 0, 0)}) {
            if (!all.contains(t)) all.append(t);
        }
    }
    QStringList weighted;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const int tenths = std::max(1, 10 - int(i));
        weighted.append(i == 0 ? all[i] : QStringLiteral("%1;q=0.%2").arg(all[i]).arg(tenths));
    }
    return weighted.join(QLatin1Char(','));
}

QString shownText(const QString& english) {
    const char* longest = nullptr;
    for (const char* known : kShownTexts) {
        const QLatin1String text(known);
        if (english == text) return translate(known);
        if (english.startsWith(text) && (!longest || text.size() > qsizetype(qstrlen(longest))))
            longest = known;
    }
    if (!longest) return english;
    return translate(longest) + english.mid(qsizetype(qstrlen(longest)));
}

namespace {

// Qt's own words in the language of name, when Debian's qt6-translations-l10n has them: the
// menus' shortcuts read "Strg+O" in German. Installed before ours, so that ours come first.
void useQtLanguage(const QString& name) {
    static std::unique_ptr<QTranslator> qt;
    if (qt) QCoreApplication::removeTranslator(qt.get());
    qt = std::make_unique<QTranslator>();
    if (!name.isEmpty() && qt->load(QStringLiteral("qtbase_") + name,
                                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt.get());
    else
        qt.reset();
}

}  // namespace

bool useInterfaceLanguage(const QStringList& tags) {
    static std::unique_ptr<QTranslator> installed;
    static QStringList asked;
    // A change of translator tells every widget; the same languages again change nothing.
    if (installed && tags == asked) return true;
    asked = tags;
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    useQtLanguage(QString());
    for (const QString& tag : tags) {
        const QString base = tag.section(QLatin1Char('-'), 0, 0);
        auto translator = std::make_unique<QTranslator>();
        for (const QString& name :
             {QString(tag).replace(QLatin1Char('-'), QLatin1Char('_')), base}) {
            if (translator->load(QStringLiteral(":/l10n/lirra_%1.qm").arg(name))) {
                useQtLanguage(name);
                installed = std::move(translator);
                QCoreApplication::installTranslator(installed.get());
                return true;
            }
        }
        // English is the source: a catalogue further down the list is not wanted.
        if (base == QLatin1String("en")) return false;
    }
    return false;
}

QString rememberedLanguage(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return QString();
    return tagOfLocale(QString::fromLatin1(in.read(kMaxTagLength + 1)).trimmed());
}

void rememberLanguage(const QString& file, const QString& tag) {
    const QString valid = tagOfLocale(tag);
    if (valid.isEmpty() || valid != tag || rememberedLanguage(file) == tag) return;
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(tag.toLatin1() + '\n') > 0) out.commit();
}

}  // namespace lirra
