// An application controller over fake platform services, with helpers that play the parts of
// the web engine and the service.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "FakePlatform.h"
#include "app/AppDelegate.h"
#include "platform/Log.h"

namespace lirra::testing {

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousSink_ = setLogSink([this](const std::string& line) { log_.push_back(line); });
        app_ = std::make_unique<AppDelegate>(platform_, AppConfig{kBase});
        app_->applicationDidFinishLaunching();
    }
    void TearDown() override {
        app_.reset();
        setLogSink(previousSink_);
    }

    fakes::FakeWebView& home() { return *platform_.webViews_.at(0); }
    fakes::FakeLoaderView& loader() { return *platform_.loaderViews_.at(0); }
    fakes::FakeWebView& playerPage() { return *platform_.webViews_.at(1); }
    NotificationCenter& center() { return platform_.notificationCenter_; }

    // The home page loads and reports that it is ready.
    void homePageLoadsAndReportsReady() {
        home().postProgressStarted(center());
        home().postProgressFinished(center());
        navigateFromHome("app:///Execute/EnableDraggableHomeScreen");
    }
    NavigationPolicy navigateFromHome(const char* url) {
        const NavigationPolicy policy = home().navigate(QUrl(QString::fromLatin1(url)));
        platform_.mainThread_.runAll();
        return policy;
    }

    // A local video file of `size` bytes.
    QString makeVideo(const QString& name, qint64 size = 200000) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'v'));
        return path;
    }

    // The service answers the newest lookup.
    void answerLookup(int status, const QByteArray& body) {
        ASSERT_FALSE(platform_.httpClient_.connections_.empty());
        platform_.httpClient_.connections_.back().respond(status, body);
    }

    bool playerShown() {
        return !platform_.playerWindows_.empty() && platform_.playerWindows_.at(0)->isVisible();
    }

    static inline const QString kBase = QStringLiteral("http://service.test/");

    fakes::FakePlatform platform_;
    std::unique_ptr<AppDelegate> app_;
    std::vector<std::string> log_;
    LogSink previousSink_;
    QTemporaryDir dir_;
};

}  // namespace lirra::testing
