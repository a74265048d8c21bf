// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvEngineOptions.h"

#include <mpv/client.h>

#include <QString>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "MpvPropertyMirror.h"
#include "platform/Log.h"

namespace lirra {

std::string backgroundText(const Color& c) {
    auto channel = [](double v) {
        return QString::number(std::clamp(v, 0.0, 1.0), 'f', 4).toStdString();
    };
    return channel(c.red) + '/' + channel(c.green) + '/' + channel(c.blue) + '/' + channel(c.alpha);
}

bool hasGpuDevice() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().rfind("renderD", 0) == 0) return true;
    }
    return std::filesystem::exists("/dev/nvidiactl", error);
}

std::string effectiveHwdec(const std::optional<std::string>& asked, bool gpu,
                           std::string* warning) {
    if (asked && !asked->empty()) {
        const bool wellFormed =
            asked->size() <= 64 && std::all_of(asked->begin(), asked->end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                       c == ',';
            });
        if (wellFormed) return *asked;
        if (warning) *warning = "hwdec setting ignored: give decoder names such as auto-safe or no";
    }
    return gpu ? kDefaultHwdec : "no";
}

std::vector<std::pair<std::string, std::string>> engineOptions(const MpvEngineSettings& settings) {
    // The engine draws through our render context only, shows nothing of its own and takes
    // no settings, scripts or key bindings from the user's mpv set-up.
    std::vector<std::pair<std::string, std::string>> options = {
        {"vo", "libmpv"},
        {"hwdec", settings.hwdec},
        {"keep-open", "yes"},  // a finished video rests paused on its last frame
        {"sub-auto", "no"},
        {kSidProperty, "no"},  // the pages draw the subtitles
        {"osc", "no"},
        {"osd-level", "0"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"config", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"resume-playback", "no"},
        {"cover-art-auto", "no"},
        {"audio-client-name", "lirra"},
        // Slow replay keeps the speaker's voice (mpv's default, stated so it stays so).
        {"audio-pitch-correction", "yes"},
        // Without a sound device the picture still plays, in time, with its tracks selectable.
        {"audio-fallback-to-null", "yes"},
        {kBackgroundProperty, backgroundText(settings.background)},
        {kPanscanProperty, settings.fillScreen ? "1.0" : "0.0"},
    };
    // Decoding in software needs no interop with the GL, and probing for one prints errors
    // (CUDA's library missing) where there is no GPU.
    if (settings.hwdec == "no") options.emplace_back("gpu-hwdec-interop", "no");
    // Decoding straight into the GL's buffers saves an upload to a GPU; with the GL in main
    // memory it only holds a second set of frames (26 MiB at 1080p).
    if (!settings.gpu) options.emplace_back("vd-lavc-dr", "no");
    return options;
}

mpv_handle* startEngine(const MpvEngineSettings& settings, std::string* error) {
    mpv_handle* mpv = mpv_create();
    if (!mpv) {
        *error = "mpv: the engine could not be created (LC_NUMERIC must be \"C\")";
        return nullptr;
    }
    for (const auto& [name, value] : engineOptions(settings)) {
        if (const int refused = mpv_set_option_string(mpv, name.c_str(), value.c_str());
            refused < 0) {
            logLine("mpv: option " + name + "=" + value + ": " + mpv_error_string(refused));
            // A decoder list mpv does not know leaves the default.
            if (name == "hwdec") mpv_set_option_string(mpv, "hwdec", kDefaultHwdec);
        }
    }
    if (const int failed = mpv_initialize(mpv); failed < 0) {
        mpv_terminate_destroy(mpv);
        *error = std::string("mpv: the engine did not start: ") + mpv_error_string(failed);
        return nullptr;
    }
    mpv_request_log_messages(mpv, "warn");
    return mpv;
}

}  // namespace lirra
