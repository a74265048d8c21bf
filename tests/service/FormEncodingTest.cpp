#include <gtest/gtest.h>

#include <QUrl>
#include <random>

#include "service/FormEncoding.h"

namespace lirra {
namespace {

TEST(FormEncoding, EncodesTheWayBrowsersSubmitForms) {
    EXPECT_EQ(formUrlEncode(QStringLiteral("My Film.mkv")), "My+Film.mkv");
    // "+", "&" and "=" must not survive: a form decoder reads them as a space and separators.
    EXPECT_EQ(formUrlEncode(QStringLiteral("a+b&c=d%e/f?g#h;i")),
              "a%2Bb%26c%3Dd%25e%2Ff%3Fg%23h%3Bi");
    EXPECT_EQ(formUrlEncode(QStringLiteral("keep*-._AZaz09 ~'!()")),
              "keep*-._AZaz09+%7E%27%21%28%29");
}

// Whatever the text, a form decoder gets it back unchanged.
TEST(FormEncoding, DecodesBackToTheOriginalText) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> ascii(0, 127);
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int i = 0; i < 40; ++i) text.append(QChar(ascii(random)));
        text.append(QString::fromUtf8("é€😀"));
        QByteArray encoded = formUrlEncode(text);
        for (const char c : encoded) {
            ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(c)) ||
                        QByteArray("*-._+%").contains(c))
                << encoded.constData();
        }
        encoded.replace('+', ' ');
        EXPECT_EQ(QUrl::fromPercentEncoding(encoded), text);
    }
}

}  // namespace
}  // namespace lirra
