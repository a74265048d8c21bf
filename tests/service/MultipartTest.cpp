#include <gtest/gtest.h>

#include <set>

#include "service/Multipart.h"

namespace lirra {
namespace {

// Whole bodies are checked as the service receives them (SubtitleServiceTest).
TEST(MultipartBody, FileNamesCannotBreakTheDispositionLine) {
    EXPECT_EQ(dispositionFileName(QStringLiteral("a\"b\r\nContent-Type: evil\r\n.srt")),
              "a%22b%0D%0AContent-Type: evil%0D%0A.srt");
    EXPECT_EQ(dispositionFileName(QString::fromUtf8("plain ü%;.srt")), "plain \xc3\xbc%;.srt");
}

// Fresh for every upload and drawn from the whole alphabet, so that no file can hold it.
TEST(Boundary, SixtyFourCharactersOfTheAlphabetDrawnAnew) {
    const QByteArray alphabet(kBoundaryAlphabet);
    ASSERT_EQ(alphabet.size(), 62);
    std::set<QByteArray> seen;
    std::set<char> used;
    for (int i = 0; i < 500; ++i) {
        const QByteArray boundary = makeBoundary();
        ASSERT_EQ(boundary.size(), 64);
        for (const char c : boundary) {
            ASSERT_TRUE(alphabet.contains(c)) << boundary.constData();
            used.insert(c);
        }
        seen.insert(boundary);
    }
    EXPECT_EQ(seen.size(), 500u);
    EXPECT_EQ(used.size(), 62u);
}

}  // namespace
}  // namespace lirra
