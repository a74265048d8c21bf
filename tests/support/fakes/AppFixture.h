// SPDX-License-Identifier: GPL-3.0-or-later
// The app over fake platform services, with helpers playing the desktop, the engines and the
// service. Its tests link lirra_app and lirra_test_support_qt.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "FakePlatform.h"
#include "app/AppDelegate.h"
#include "platform/Log.h"
#include "promise/Promise.h"
#include "support/qt/QtPrinters.h"
#include "support/qt/QtTestLoop.h"

namespace lirra::testing {

class AppTest : public ::testing::Test {
  protected:
    AppTest() {
        test::ensureCoreApplication();  // the player page's wait has a timer
        previousSink_ = setLogSink([this](const std::string& line) { log_.push_back(line); });
        app_ = std::make_unique<AppDelegate>(platform_, AppConfig{"http://service.test/"});
        app_->applicationDidFinishLaunching();
    }
    ~AppTest() override {
        app_.reset();
        setLogSink(previousSink_);
    }

    fakes::FakeWebView& home() { return *platform_.webViews_.at(0); }
    fakes::FakeWebView& page() { return *platform_.webViews_.at(1); }  // the player page
    fakes::FakeLoaderView& loader() { return *platform_.loaderViews_.at(0); }
    fakes::FakeMediaPlayer& player() { return *platform_.mediaPlayers_.at(0); }
    fakes::FakeWindow& window() { return platform_.mainWindow_; }
    fakes::FakeWindow& overlay() { return *platform_.playerWindows_.at(0); }
    fakes::FakeWindow& videoWindow() { return *platform_.playerWindows_.at(1); }
    bool playerShown() { return !platform_.playerWindows_.empty() && overlay().isVisible(); }
    NotificationCenter& center() { return platform_.notificationCenter_; }
    std::vector<fakes::FakeHttpClient::Connection>& requests() {
        return platform_.httpClient_.connections_;
    }

    // A navigation of a page as the web engine makes it, then the tasks it left on the loop.
    NavigationPolicy navigate(fakes::FakeWebView& view, const QString& url) {
        const NavigationPolicy policy = view.navigate(url);
        platform_.mainThread_.runAll();
        return policy;
    }
    void homePageReady() {
        home().postProgressStarted(center());
        home().postProgressFinished(center());
        navigate(home(), "app:///Execute/EnableDraggableHomeScreen");
    }
    // A local video file; large enough to be hashed unless told otherwise.
    QString makeVideo(const QString& name, qint64 size = 70000) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'v')) == size);
        return file.fileName();
    }
    // The service answers the newest request.
    void answer(const QByteArray& body, int status = 200) {
        ASSERT_FALSE(requests().empty());
        requests().back().respond(status, body);
    }
    // A video taken in, looked up as `videoId`, launched and playing under its loaded page.
    void launch(const QString& location, std::int64_t videoId = 42) {
        app_->processVideoAndLaunch(location);
        if (VideoLocation::fromText(location).isUrl()) {  // its ranges are the hash tests' business
            center().post(kHashComputedNotification, nullptr,
                          {{kHashUserInfoKey, VideoHash{0x2a, 65536}}});
        }
        answer("{\"videoId\":" + QByteArray::number(qint64(videoId)) + "}");
        page().postProgressStarted(center());
        page().postProgressFinished(center());
    }
    // The arguments of the app's events in `view`'s page ("'nativeApp:x', 1"), in order.
    static QStringList events(const fakes::FakeWebView& view) {
        QStringList found;
        for (const QString& script : view.asyncScripts_)
            if (script.contains("'nativeApp:"))
                found << script.section("trigger(", 1).section(");", 0, 0);
        return found;
    }
    // The engine's two notifications, once the test has set the player's fields.
    void stateChanged(int state) {
        player().state_ = state;
        center().post(kMediaPlayerStateChanged, static_cast<const MediaPlayer*>(&player()));
    }
    void timeChanged() {
        center().post(kMediaPlayerTimeChanged, static_cast<const MediaPlayer*>(&player()));
    }

    fakes::FakePlatform platform_;
    std::vector<std::string> log_;
    LogSink previousSink_;
    QTemporaryDir dir_;
    std::unique_ptr<AppDelegate> app_;
};

}  // namespace lirra::testing
