// multipart/form-data as the app writes it, and bodies that must be refused whole.
#include <gtest/gtest.h>

#include "http/Multipart.h"

namespace lirra::server {
namespace {

// Bodies as the app writes them are parsed on every upload of the loopback tests
// (LookupUploadTest); here, the edges those do not reach.
TEST(Multipart, ContentMayHoldBoundaryLookalikesAndCrLf) {
    const std::string content = "line\r\n--Bx not a boundary\r\n-B\r\n";
    const auto parsed =
        parseMultipart("preamble\r\n--B\r\nContent-Disposition: form-data; name=\"1\"\r\n\r\n" +
                           content + "\r\n--B--\r\nepilogue",
                       "B");
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.parts.size(), 1u);
    EXPECT_EQ(parsed.parts[0].content, content);
    EXPECT_FALSE(parsed.parts[0].fileName.has_value());
}

TEST(Multipart, FileNameEscapesAndQuotes) {
    const auto parsed = parseMultipart(
        "--B\r\nContent-Disposition: form-data; name=\"1\"; filename=\"say %22hi%22%0D%0A "
        "100%.srt\"\r\n\r\nx\r\n--B--",
        "B");
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.parts[0].fileName, "say \"hi\"\r\n 100%.srt");
}

TEST(Multipart, MalformedBodiesAreRefusedWhole) {
    const std::string good = "--B\r\nContent-Disposition: form-data; name=\"1\"\r\n\r\nx";
    for (const std::string& body : {
             good,                  // unterminated
             good + "\r\n--Bjunk",  // bad boundary line
             std::string("--B\r\nno colon here\r\n\r\nx\r\n--B--"),
             std::string("--B\r\nContent-Disposition: form-data; name=\"\xE9\"\r\n\r\nx\r\n--B--"),
             std::string(
                 "--B\r\nContent-Disposition: form-data; name=\"1\"\r\n folded\r\n\r\nx\r\n--B--"),
         }) {
        const auto parsed = parseMultipart(body, "B");
        EXPECT_NE(parsed.error, "") << body;
        EXPECT_TRUE(parsed.parts.empty());
    }
    std::string many = "--B";
    for (int i = 0; i < 65; ++i)
        many += "\r\nContent-Disposition: form-data; name=\"1\"\r\n\r\nx\r\n--B";
    EXPECT_EQ(parseMultipart(many + "--", "B").error, "too many parts");
}

TEST(Multipart, BoundaryFromContentType) {
    EXPECT_EQ(multipartBoundary("Multipart/Form-Data; charset=utf-8; boundary=\"a b\""), "a b");
    EXPECT_FALSE(multipartBoundary("multipart/form-data; boundary="));
    EXPECT_FALSE(multipartBoundary("text/plain; boundary=abc"));
    EXPECT_FALSE(multipartBoundary("multipart/form-data; boundary=" + std::string(71, 'a')));
}

}  // namespace
}  // namespace lirra::server
