// The notebook's "Watch this moment" command: an existing regular file, named as the page sends
// it (URL-safe base64 of its UTF-8 path), is taken in to start at the given millisecond; any
// other path or start does nothing.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BridgeFixture.h"

namespace lirra::testing {
namespace {

QString pageArgument(const QByteArray& path) {
    return QString::fromLatin1(
        path.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

TEST_F(BridgeTest, WatchMomentOpensOnlyAnExistingRegularFileAtAWellFormedTime) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString video = dir.filePath(QStringLiteral("Vidéos & co/ep 1 (2024) ???~~~.mkv"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(video).absolutePath()));
    QFile file(video);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString videoArgument = pageArgument(video.toUtf8());
    // Plain base64 of the same path differs from the URL-safe one (it has + or /).
    const QString plain =
        QString::fromLatin1(video.toUtf8().toBase64(QByteArray::OmitTrailingEquals));
    ASSERT_NE(plain, videoArgument);

    struct Row {
        const char* what;
        QString file;
        QString ms;
    };
    const Row refused[] = {
        {"no file", QString(), QStringLiteral("5")},
        {"plain base64", plain, QStringLiteral("5")},
        {"a relative path", pageArgument("clip.mkv"), QStringLiteral("5")},
        {"a missing file", pageArgument(dir.filePath(QStringLiteral("gone.mkv")).toUtf8()),
         QStringLiteral("5")},
        {"a folder", pageArgument(dir.path().toUtf8()), QStringLiteral("5")},
        {"a NUL inside", pageArgument(video.toUtf8() + QByteArray(1, '\0') + "x"),
         QStringLiteral("5")},
        {"not UTF-8", pageArgument(dir.path().toUtf8() + "/\xff.mkv"), QStringLiteral("5")},
        {"no time", videoArgument, QString()},
        {"a negative time", videoArgument, QStringLiteral("-5")},
        {"a time that is not a number", videoArgument, QStringLiteral("5s")},
        {"a time past the engine's range", videoArgument, QStringLiteral("2147483648")},
    };
    for (const Row& row : refused) {
        intake.locations.clear();
        state.startAt.reset();
        BridgeArguments arguments;
        if (!row.file.isNull()) arguments.insert(QStringLiteral("file"), row.file);
        if (!row.ms.isNull()) arguments.insert(QStringLiteral("ms"), row.ms);
        execute("WatchMoment", arguments);
        EXPECT_TRUE(intake.locations.empty()) << row.what;
        EXPECT_FALSE(state.startAt.has_value()) << row.what;
    }

    execute("WatchMoment", {{QStringLiteral("file"), videoArgument},
                            {QStringLiteral("ms"), QStringLiteral("61234")}});
    ASSERT_EQ(intake.locations, std::vector<QString>{video});
    ASSERT_TRUE(state.startAt.has_value());
    EXPECT_EQ(state.startAt->location, video);
    EXPECT_EQ(state.startAt->milliseconds, 61234);
}

}  // namespace
}  // namespace lirra::testing
