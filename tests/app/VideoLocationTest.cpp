// Where a video's kind is decided: a URL needs a scheme and a host, everything else is a file.
#include <gtest/gtest.h>

#include "state/VideoLocation.h"

namespace lirra {
namespace {

TEST(VideoLocation, SchemeAndHostMakeAUrlAndTheTextIsKept) {
    for (const char* url : {"https://127.0.0.1:8080/v?id=1", "ftp://host/file"}) {
        const VideoLocation location = VideoLocation::fromText(QString::fromUtf8(url));
        EXPECT_TRUE(location.isUrl()) << url;
        EXPECT_EQ(location.text, QString::fromUtf8(url));
    }
    for (const char* file :
         {"/home/user/My Video.mkv", "file:///home/user/video.mp4", "http://exa mple.com/",
          "C:/Videos/a.mp4", "relative/path:with/colon"}) {
        const VideoLocation location = VideoLocation::fromText(QString::fromUtf8(file));
        EXPECT_FALSE(location.isUrl()) << file;
        EXPECT_EQ(location.text, QString::fromUtf8(file));
    }
}

}  // namespace
}  // namespace lirra
