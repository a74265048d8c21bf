// Downloads a page offers (an <a download> link, as the notebook's export): saved where the
// chooser says; a cancelled one does not stop the next.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "WidgetsTestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/qt/webcommon/Downloads.h"
#include "platform/qt/widgets/QtWebView.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;

TEST(DownloadsTest, SavesWhereTheLearnerChoosesAfterACancelledOne) {
    test::PageServer server;
    const std::string exported = "#separator:tab\n#html:true\nword\tline\n";
    server.page("/export", exported);
    server.page("/page", R"(<!DOCTYPE html><body>
<a id="save" href="/export" download="lirra-notebook.txt">Export</a></body>)");
    ASSERT_TRUE(server.start());
    NotificationCenter center;
    QtWebView view(center);
    view.widget()->resize(300, 200);
    view.widget()->show();
    ASSERT_TRUE(test::loadAndWait(view, server.url("/page")));

    QTemporaryDir dir;
    QStringList suggested;
    QString answer;  // empty: the learner cancels
    setSaveLocationChooser([&](const QString& path) {
        suggested.append(path);
        return answer;
    });
    view.evaluateScriptAsync("document.getElementById('save').click()");
    ASSERT_TRUE(test::runEventLoopUntil([&] { return suggested.size() == 1; }, 10s));

    answer = dir.filePath("chosen/../notes.tsv");
    view.evaluateScriptAsync("document.getElementById('save').click()");
    QFile saved(dir.filePath("notes.tsv"));
    const bool written = test::runEventLoopUntil(
        [&] { return saved.exists() && saved.size() == qint64(exported.size()); }, 10s);
    setSaveLocationChooser({});

    ASSERT_TRUE(written);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), exported);
    ASSERT_EQ(suggested.size(), 2);
    EXPECT_TRUE(suggested[0].endsWith("/lirra-notebook.txt")) << suggested[0].toStdString();
}

}  // namespace
}  // namespace lirra
