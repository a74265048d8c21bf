// SPDX-License-Identifier: GPL-3.0-or-later
// The app's own words (menus, dialogs, alerts, the loader) in the learner's language: Qt's
// translator from the catalogues compiled in (po/, made into .qm at build time), English where a
// catalogue has no entry. The texts the system's design gives stay English in the code and in
// the log; they are translated only where they are shown.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace lirra {

// The interface languages the environment asks for, most wanted first, as BCP 47 tags ("es-ES"):
// LANGUAGE (a colon list), else the first of LC_ALL, LC_MESSAGES, LANG that is set; "C" and
// "POSIX" ask for none.
QStringList localeLanguages(const std::function<QString(const char*)>& variable);

// The pages' Accept-Language for tags, each with its base language after it and falling weights:
// {"es-ES"} gives "es-ES,es;q=0.9". Empty for no tags.
QString acceptLanguage(const QStringList& tags);

// A design-given English text as it is shown: its translation, or the translation of the longest
// known text it begins with followed by the rest as it is (an address, a reason).
QString shownText(const QString& english);

// Installs the translator of the first of tags that has a catalogue, replacing the one before;
// false (English) when none has or an English tag comes first.
bool useInterfaceLanguage(const QStringList& tags);

// The pages' interface language last seen (a BCP 47 tag), kept in `file` between runs ("" for
// none): the menus speak it from the next start.
QString rememberedLanguage(const QString& file);
void rememberLanguage(const QString& file, const QString& tag);

}  // namespace lirra
