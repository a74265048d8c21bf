#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <iostream>

namespace lirra::test {
namespace {

bool ffmpeg(const QStringList& arguments) {
    QProcess process;
    process.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        std::cerr << "ffmpeg failed: " << process.readAllStandardError().toStdString() << "\n";
        return false;
    }
    return true;
}

TestMedia generate() {
    static QTemporaryDir folder;
    TestMedia media;
    if (!folder.isValid()) return media;
    const QString dir = folder.path();
    media.clipName = "-my clip.mkv";
    media.clip = dir + "/" + media.clipName;
    media.audioOnly = dir + "/audio only.m4a";
    media.missing = dir + "/missing.mkv";

    QFile subtitles(dir + "/subs.srt");
    if (!subtitles.open(QIODevice::WriteOnly)) return media;
    subtitles.write("1\n00:00:00,000 --> 00:00:02,500\nHello\n");
    subtitles.close();

    // Arguments without spaces, then the file names.
    auto args = [](const char* text) { return QString::fromLatin1(text).split(' '); };
    const bool made =
        ffmpeg(
            args("-f lavfi -i "
                 "color=c=blue:s=1280x720:r=25:d=3,drawbox=x=0:y=0:w=1280:h=360:color=red:t=fill "
                 "-f lavfi -i sine=frequency=440:duration=3 "
                 "-f lavfi -i sine=frequency=660:duration=3 -i") +
            QStringList{dir + "/subs.srt"} +
            args("-map 0:v -map 1:a -map 2:a -map 1:a -map 2:a -map 3:s -c:v libx264 "
                 "-preset ultrafast -pix_fmt yuv420p -c:a aac -c:s srt "
                 "-metadata:s:a:0 title=English -metadata:s:a:0 language=eng "
                 "-metadata:s:a:1 title=French -metadata:s:a:1 language=fre "
                 "-metadata:s:a:2 language=ger -metadata:s:a:3 language=und") +
            QStringList{media.clip}) &&
        ffmpeg(args("-f lavfi -i sine=frequency=440:duration=1.5 -c:a aac") +
               QStringList{media.audioOnly});
    if (made) media.dir = dir;
    return media;
}

}  // namespace

const TestMedia& testMedia() {
    static const TestMedia media = generate();
    return media;
}

}  // namespace lirra::test
