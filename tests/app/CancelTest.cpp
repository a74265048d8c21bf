// The loader's Cancel with the real HTTP client and a service on loopback whose lookup does not
// answer: the video is dropped, the home page comes back, the lookup's late answer is ignored
// and the next video plays as any other.
#include <condition_variable>
#include <mutex>

#include "fakes/AppFixture.h"
#include "platform/qt/network/QtHttpClient.h"
#include "support/LoopbackHttpServer.h"

namespace lirra::testing {
namespace {

using namespace std::chrono_literals;

// A service whose first lookup waits until the test lets it answer; made before the app.
struct SlowService {
    SlowService() {
        test::ensureCoreApplication();
        server.server().Post("/Player/GetSubtitlesToDownload", [this](const auto&, auto& res) {
            std::unique_lock lock(mutex);
            const int lookup = ++lookups;
            released.wait(lock, [&] { return lookup > 1 || answerFirst; });
            res.set_content(lookup == 1 ? R"({"videoId":1})" : R"({"videoId":7})",
                            "application/json");
        });
        EXPECT_TRUE(server.start());
    }
    ~SlowService() { release(); }
    void release() {
        std::lock_guard lock(mutex);
        answerFirst = true;
        released.notify_all();
    }
    int lookupCount() {
        std::lock_guard lock(mutex);
        return lookups;
    }

    test::LoopbackHttpServer server;
    QtHttpClient http;
    std::mutex mutex;
    std::condition_variable released;
    int lookups = 0;
    bool answerFirst = false;
};

class CancelTest : public SlowService, public AppTest {
  protected:
    CancelTest() : AppTest(&http, QString::fromStdString(server.url("/"))) {}
    ~CancelTest() override { release(); }
};

TEST_F(CancelTest, CancelDuringASlowLookupGoesHomeAndTheNextVideoPlays) {
    home().postProgressStarted(center());
    EXPECT_TRUE(loader().isCancelHidden());  // connecting to the service cannot be given up
    home().postProgressFinished(center());
    navigate(home(), "app:///Execute/EnableDraggableHomeScreen");

    app_->processVideoAndLaunch(makeVideo("first.mkv"));
    ASSERT_TRUE(test::runEventLoopUntil([&] { return lookupCount() == 1; }, 5s));
    EXPECT_EQ(loader().labelText(), "Searching subtitles...");
    ASSERT_TRUE(loader().pressCancel());
    EXPECT_FALSE(home().isHidden());
    EXPECT_TRUE(loader().isLabelHidden() && loader().isCancelHidden());
    release();  // the cancelled video's answer comes late: nothing follows from it
    test::runEventLoopFor(300ms);
    EXPECT_FALSE(playerShown());
    EXPECT_TRUE(platform_.application_.alerts_.empty());

    const QString second = makeVideo("second.mkv");
    app_->processVideoAndLaunch(second);
    ASSERT_TRUE(test::runEventLoopUntil([&] { return playerShown(); }, 5s));
    EXPECT_EQ(page().loads_.back().toString().toStdString(), server.url("/Player/Play?videoId=7"));
    page().postProgressStarted(center());
    page().postProgressFinished(center());
    EXPECT_EQ(player().media_->location, second);
    EXPECT_TRUE(player().isPlaying());
    EXPECT_EQ(lookupCount(), 2);
}

}  // namespace
}  // namespace lirra::testing
