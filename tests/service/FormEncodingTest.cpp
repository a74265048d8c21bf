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
    EXPECT_EQ(formUrlEncode(QStringLiteral("\r\n\t")), "%0D%0A%09");
    EXPECT_EQ(formUrlEncode(QString::fromUtf8("Über 日本")), "%C3%9Cber+%E6%97%A5%E6%9C%AC");
    EXPECT_EQ(formUrlEncode(QString()), "");
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
