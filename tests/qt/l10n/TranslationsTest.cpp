// SPDX-License-Identifier: GPL-3.0-or-later
// Which language the app speaks, from the locale or the pages, and its texts through the
// catalogues the build compiled in (po/es.po and the pseudo-locale made from the template).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <map>

#include "platform/qt/l10n/Translations.h"
#include "support/qt/QtPrinters.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

TEST(Translations, TheLocaleVariablesGiveTagsAsGettextReadsThem) {
    using Variables = std::map<std::string, QString>;
    const std::pair<Variables, QStringList> rows[] = {
        {{}, {}},
        {{{"LANG", "es_ES.UTF-8"}}, {"es-ES"}},
        {{{"LANG", "sr_RS.UTF-8@latin"}}, {"sr-RS"}},
        {{{"LC_MESSAGES", "ar_EG.UTF-8"}, {"LANG", "en_US.UTF-8"}}, {"ar-EG"}},
        {{{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}, {"ja-JP"}},
        {{{"LANGUAGE", "pt_BR:fr::pt_BR"}, {"LANG", "de_DE.UTF-8"}}, {"pt-BR", "fr"}},
        {{{"LANGUAGE", "fr"}}, {"fr"}},
        // The C locale switches LANGUAGE off; a value that names no language names none.
        {{{"LANGUAGE", "fr"}, {"LC_ALL", "C"}}, {}},
        {{{"LANG", "C.UTF-8"}}, {}},
        {{{"LANG", "POSIX"}}, {}},
        {{{"LANG", "es_ES;rm -rf"}}, {}},
    };
    for (const auto& [variables, tags] : rows) {
        const auto lookup = [&](const char* name) {
            return variables.contains(name) ? variables.at(name) : QString();
        };
        EXPECT_EQ(localeLanguages(lookup), tags) << tags.join(' ').toStdString();
    }
}

TEST(Translations, TheAcceptLanguageAddsBaseLanguagesWithFallingWeights) {
    const std::pair<QStringList, QString> rows[] = {
        {{}, ""},
        {{"es"}, "es"},
        {{"es-ES"}, "es-ES,es;q=0.9"},
        {{"pt-BR", "fr", "pt"}, "pt-BR,pt;q=0.9,fr;q=0.8"},
        {{"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "b1", "b2"},
         "a1,a2;q=0.9,a3;q=0.8,a4;q=0.7,a5;q=0.6,a6;q=0.5,a7;q=0.4,a8;q=0.3,a9;q=0.2,b1;q=0.1,"
         "b2;q=0.1"},
    };
    for (const auto& [tags, header] : rows) EXPECT_EQ(acceptLanguage(tags), header);
}

TEST(Translations, ShownTextsInTheFirstLanguageWithACatalogueAndEnglishOtherwise) {
    test::ensureCoreApplication();  // translators are installed on the application object
    const QString prefix = QStringLiteral(
        "Lirra failed to open your video - if you feel that we should have been able to play this "
        "file, please report your problem to us at ");
    ASSERT_TRUE(useInterfaceLanguage({"xx", "es-MX"}));
    EXPECT_EQ(shownText("Couldn't open video"), "No se pudo abrir el video");
    EXPECT_EQ(shownText("Cancel"), "Cancelar");
    EXPECT_EQ(shownText(prefix + "help@lirra.test"),
              "Lirra no pudo abrir tu video. Si crees que deberíamos haber podido reproducir este "
              "archivo, cuéntanos el problema en help@lirra.test");
    EXPECT_EQ(shownText("OK then"), "Aceptar then");  // the longest known beginning
    EXPECT_EQ(shownText("Not a text of ours"), "Not a text of ours");
    EXPECT_EQ(QCoreApplication::translate("QtMainWindow", "&File"), "&Archivo");
    ASSERT_TRUE(useInterfaceLanguage({"de"}));  // and Qt's own words in it
    EXPECT_EQ(QCoreApplication::translate("QShortcut", "Ctrl"), "Strg");  // "Strg+O" in the menu

    // English first: no catalogue further down counts.
    EXPECT_FALSE(useInterfaceLanguage({"en-GB", "es"}));
    EXPECT_EQ(shownText("Cancel"), "Cancel");
    ASSERT_TRUE(useInterfaceLanguage({"en-XA"}));
    EXPECT_TRUE(shownText("Cancel").startsWith('[')) << shownText("Cancel").toStdString();
    EXPECT_FALSE(useInterfaceLanguage({}));
    EXPECT_EQ(QCoreApplication::translate("QtMainWindow", "Quit"), "Quit");
}

TEST(Translations, ThePagesLanguageIsRememberedWhenItIsATag) {
    QTemporaryDir dir;
    const QString file = dir.filePath("interface-language");
    EXPECT_EQ(rememberedLanguage(file), "");
    rememberLanguage(file, "pt-BR");
    EXPECT_EQ(rememberedLanguage(file), "pt-BR");
    for (const char* refused : {"", "pt_BR", "x", "es-ES\nfr", "spa-spa-spa"}) {
        rememberLanguage(file, refused);
        EXPECT_EQ(rememberedLanguage(file), "pt-BR") << refused;
    }
    QFile garbage(file);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write("../../etc/passwd\n") > 0);
    garbage.close();
    EXPECT_EQ(rememberedLanguage(file), "");
}

}  // namespace
}  // namespace lirra
