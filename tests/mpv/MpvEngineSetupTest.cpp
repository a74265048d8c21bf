// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine is set up with: hardware decoding and the render context's parameters.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/mpv/MpvEngineOptions.h"
#include "platform/mpv/MpvRenderParams.h"

namespace lirra::test {
namespace {

// Decoder names only, and short; software decoding loads no GL interop (its probe prints errors);
// without a GPU the decoder keeps its frames itself.
TEST(MpvEngineSetupTest, HardwareDecodingFollowsTheSettingAndProbesOnlyWithAGpu) {
    const struct {
        std::optional<std::string> asked;
        bool gpu;
        std::string used;
        bool warned;
    } cases[] = {
        {std::nullopt, true, "auto-safe", false},
        {std::nullopt, false, "no", false},  // nothing to probe: no errors, no time lost
        {"", true, "auto-safe", false},
        {"vaapi-copy,nvdec", false, "vaapi-copy,nvdec", false},  // asked for: tried
        {"auto-safe; rm -rf /", true, "auto-safe", true},
        {"Vaapi", false, "no", true},
        {std::string(64, 'a'), true, std::string(64, 'a'), false},
        {std::string(65, 'a'), true, "auto-safe", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked.value_or("(none)"));
        std::string warning;
        const std::string used = effectiveHwdec(c.asked, c.gpu, &warning);
        EXPECT_EQ(used, c.used);
        EXPECT_EQ(!warning.empty(), c.warned);
        MpvEngineSettings settings;
        settings.hwdec = used;
        settings.gpu = c.gpu;
        std::string interop = "(mpv's default)", direct = interop;
        for (const auto& [name, value] : engineOptions(settings)) {
            if (name == "gpu-hwdec-interop") interop = value;
            if (name == "vd-lavc-dr") direct = value;
        }
        EXPECT_EQ(interop, used == "no" ? "no" : "(mpv's default)");
        // Frames decoded into the GL's buffers only where those are a GPU's.
        EXPECT_EQ(direct, c.gpu ? "(mpv's default)" : "no");
    }
}

// The API and the GL first (the player's tests draw with them), the display if any, the end.
TEST(MpvEngineSetupTest, TheWindowSystemsDisplayReachesTheRenderContext) {
    int x11 = 0, wayland = 0;
    mpv_opengl_init_params gl{};
    const struct {
        NativeDisplay display;
        mpv_render_param_type type;
        void* data;
    } cases[] = {
        {{NativeDisplay::Kind::X11, &x11}, MPV_RENDER_PARAM_X11_DISPLAY, &x11},
        {{NativeDisplay::Kind::Wayland, &wayland}, MPV_RENDER_PARAM_WL_DISPLAY, &wayland},
        {{NativeDisplay::Kind::X11, nullptr}, MPV_RENDER_PARAM_INVALID, nullptr},
        {{}, MPV_RENDER_PARAM_INVALID, nullptr},
    };
    for (const auto& c : cases) {
        const std::vector<mpv_render_param> params = renderContextParams(&gl, c.display);
        ASSERT_EQ(params.size(), c.data ? 4u : 3u);
        EXPECT_EQ(params[1].data, &gl);
        EXPECT_EQ(params[2].type, c.type);
        EXPECT_EQ(params[2].data, c.data);
        EXPECT_EQ(params.back().type, MPV_RENDER_PARAM_INVALID);
    }
}

}  // namespace
}  // namespace lirra::test
