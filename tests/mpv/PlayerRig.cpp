// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlayerRig.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <iostream>

namespace lirra::test {
namespace {

// `arguments` split at spaces; %1, %2... stand for the file names, which may have spaces.
bool ffmpeg(const char* arguments, const QStringList& files) {
    QStringList list{"-hide_banner", "-loglevel", "error", "-y"};
    for (const QString& word : QString::fromLatin1(arguments).split(' '))
        list.append(word.startsWith('%') ? files.value(word.mid(1).toInt() - 1) : word);
    QProcess process;
    process.start("ffmpeg", list);
    if (process.waitForFinished(60000) && process.exitCode() == 0) return true;
    std::cerr << "ffmpeg failed: " << process.readAllStandardError().toStdString() << "\n";
    return false;
}

TestMedia generate() {
    static QTemporaryDir folder;
    const QString dir = folder.path();
    TestMedia media;
    media.clipName = "-my clip.mkv", media.clip = dir + "/-my clip.mkv";
    media.audioOnly = dir + "/audio only.m4a", media.pictureOnly = dir + "/picture only.mkv";
    media.missing = dir + "/missing.mkv";
    QFile subtitles(dir + "/-my clip.srt");  // the engine must not pick it up
    if (!folder.isValid() || !subtitles.open(QIODevice::WriteOnly)) return media;
    subtitles.write("1\n00:00:00,000 --> 00:00:02,500\nHello\n");
    subtitles.close();
    const bool made =
        ffmpeg(
            "-f lavfi -i "
            "color=c=blue:s=1280x720:r=25:d=3,drawbox=x=0:y=0:w=1280:h=360:color=red:t=fill "
            "-f lavfi -i sine=frequency=440:duration=3 -f lavfi -i sine=frequency=660:duration=3 "
            "-i %1 -map 0:v -map 1:a -map 2:a -map 1:a -map 2:a -map 3:s -c:v libx264 "
            "-preset ultrafast -pix_fmt yuv420p -c:a aac -c:s srt "
            "-metadata:s:a:0 title=English -metadata:s:a:0 language=eng "
            "-metadata:s:a:1 title=French -metadata:s:a:1 language=fre "
            "-metadata:s:a:2 language=ger -metadata:s:a:3 language=und %2",
            {subtitles.fileName(), media.clip}) &&
        ffmpeg("-i %1 -t 1 -map 0:v -c copy %2", {media.clip, media.pictureOnly}) &&
        ffmpeg("-f lavfi -i sine=frequency=440:duration=1.5 -c:a aac %1", {media.audioOnly}) &&
        ffmpeg("-f lavfi -i color=c=white:s=64x64:d=1 -frames:v 1 %1", {dir + "/audio only.jpg"});
    if (made) media.dir = dir;
    return media;
}

}  // namespace

const TestMedia& testMedia() {
    static const TestMedia media = generate();
    return media;
}

bool runSteps(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        if (step.act) step.act();
        if (!runEventLoopUntil(step.until)) {
            ADD_FAILURE() << "did not come: " << step.says;
            return false;
        }
    }
    return true;
}

PlayerRig::PlayerRig(bool showFirst) {
    view_.setSize(QSizeF(640, 360));
    if (showFirst) show();
    makePlayer();
    for (const char* name : {kMediaPlayerStateChanged, kMediaPlayerTimeChanged}) {
        center_.addObserver(name, nullptr, [this](const Notification& n) {
            allOnMainThreadFromPlayer = allOnMainThreadFromPlayer &&
                                        QThread::currentThread() == qApp->thread() &&
                                        n.object == static_cast<MediaPlayer*>(player_.get());
            if (n.name == kMediaPlayerTimeChanged) return times.push_back(player_->time());
            states.push_back(
                {player_->state(), player_->isPlaying(), player_->time(), player_->length()});
        });
    }
}

PlayerRig::~PlayerRig() {
    player_.reset();  // before its view, as in the app
    view_.setParentItem(nullptr);
}

QQuickWindow& PlayerRig::show() {
    auto& window = *windows_.emplace_back(std::make_unique<QQuickWindow>());
    window.setColor(Qt::green);
    window.resize(640, 360);
    window.show();
    runEventLoopUntil([&] { return window.isExposed() && window.isSceneGraphInitialized(); },
                      std::chrono::seconds(5));
    view_.setParentItem(window.contentItem());
    return window;
}

bool PlayerRig::playClip(const QString& path) {
    player_->setMedia({Media::Kind::Path, path});
    player_->play();
    return runEventLoopUntil([&] { return player_->isPlaying() && showsClip(); });
}

bool PlayerRig::restsAtEnd() const {
    return std::any_of(states.begin(), states.end(), [](const State& s) {
        return s.state == kMediaPlayerStatePaused && s.time && s.length && *s.length > 0 &&
               *s.time >= *s.length - 1000;
    });
}

}  // namespace lirra::test
