// SPDX-License-Identifier: GPL-3.0-or-later
// The options the engine starts with (hardware decoding among them), and the two view settings
// (back colour, fill mode) in the engine's terms, both at start and whenever the view changes them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Geometry.h"

struct mpv_handle;

namespace lirra {

inline constexpr char kBackgroundProperty[] = "background";
inline constexpr char kPanscanProperty[] = "panscan";

// "r/g/b/a" with each channel clamped to 0..1.
std::string backgroundText(const Color& color);
// 1 fills the view, cropping the picture; 0 fits it whole.
inline double panscanValue(bool fillScreen) { return fillScreen ? 1.0 : 0.0; }

inline constexpr char kDefaultHwdec[] = "auto-safe";

struct MpvEngineSettings {
    Color background{0, 0, 0, 1};
    bool fillScreen = false;
    std::string hwdec = kDefaultHwdec;  // mpv's "hwdec" option
    bool gpu = true;                    // hasGpuDevice(): without one, the GL draws in main memory
};

// Whether the machine shows a GPU that could decode video (a DRM render node or NVIDIA's
// device). Without one, probing for hardware decoders only costs time and prints errors.
bool hasGpuDevice();

// The "hwdec" value to use for the setting `asked` (none or empty: the default). Anything but a
// list of decoder names ([a-z0-9_-], comma-separated, short) is refused with a `warning`. The
// default probes for hardware decoders only where there is a GPU.
std::string effectiveHwdec(const std::optional<std::string>& asked, bool gpu, std::string* warning);

// Name and value of every option, in the order they are set.
std::vector<std::pair<std::string, std::string>> engineOptions(const MpvEngineSettings& settings);

// A created and initialized engine, or none with `error` set.
mpv_handle* startEngine(const MpvEngineSettings& settings, std::string* error);

}  // namespace lirra
