#include <gtest/gtest.h>

#include <map>
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

TEST(Boundary, SixtyFourCharactersOfTheAlphabetDrawnUniformlyAndAnew) {
    const QByteArray alphabet(kBoundaryAlphabet);
    ASSERT_EQ(alphabet.size(), 62);
    std::set<QByteArray> seen;
    std::map<char, int> counts;
    constexpr int kBoundaries = 2000;
    for (int i = 0; i < kBoundaries; ++i) {
        const QByteArray boundary = makeBoundary();
        ASSERT_EQ(boundary.size(), 64);
        for (const char c : boundary) {
            ASSERT_TRUE(alphabet.contains(c)) << boundary.constData();
            ++counts[c];
        }
        seen.insert(boundary);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kBoundaries));
    // 128,000 draws: about 2,065 per character with a standard deviation near 45, so a 20 %
    // band catches a skewed or truncated alphabet and never a fair source.
    ASSERT_EQ(counts.size(), 62u);
    const double expected = kBoundaries * 64.0 / 62;
    for (const auto& [c, count] : counts) {
        EXPECT_GT(count, expected * 0.8) << c;
        EXPECT_LT(count, expected * 1.2) << c;
    }
}

}  // namespace
}  // namespace lirra
