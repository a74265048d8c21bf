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
        std::string warning, interop = "(mpv's default)", direct = interop;
        const MpvEngineSettings settings{.hwdec = effectiveHwdec(c.asked, c.gpu, &warning),
                                         .gpu = c.gpu};
        for (const auto& [name, value] : engineOptions(settings)) {
            if (name == "gpu-hwdec-interop") interop = value;
            if (name == "vd-lavc-dr") direct = value;
        }
        // Frames decoded into the GL's buffers only where those are a GPU's.
        EXPECT_EQ(std::tuple(settings.hwdec, !warning.empty(), interop, direct),
                  std::tuple(c.used, c.warned, c.used == "no" ? "no" : "(mpv's default)",
                             c.gpu ? "(mpv's default)" : "no"))
            << c.asked.value_or("(none)");
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
        EXPECT_EQ(std::tuple(params[1].data, params[2].type, params[2].data, params.back().type),
                  std::tuple(static_cast<void*>(&gl), c.type, c.data, MPV_RENDER_PARAM_INVALID));
    }
}

}  // namespace
}  // namespace lirra::test
