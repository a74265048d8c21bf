// The video view's geometry and colours, without a player.
#include <gtest/gtest.h>

#include <QWidget>

#include "PlayerRig.h"

namespace lirra::test {
namespace {

TEST(MpvVideoViewTest, FramesAreInTheLowerLeftConventionOfItsContainer) {
    QWidget container;
    container.resize(800, 600);
    MpvVideoView view(&container);
    view.setFrame({{10, 20}, {300, 200}});
    EXPECT_EQ(view.geometry(), QRect(10, 380, 300, 200));
    EXPECT_EQ(view.frame(), (Rect{{10, 20}, {300, 200}}));
}

TEST(MpvVideoViewTest, PaintsItsBackColourWithoutAPicture) {
    MpvVideoView view;
    view.resize(200, 100);
    view.setBackColor({0.93, 0.93, 0.93, 1});
    view.show();
    ASSERT_TRUE(waitFor([&] { return view.isGlInitialized(); }));
    EXPECT_EQ(view.grabFramebuffer().pixel(100, 50), qRgb(237, 237, 237));
    view.setBackColor({0, 0, 0, 1});
    EXPECT_EQ(view.grabFramebuffer().pixel(100, 50), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace lirra::test
