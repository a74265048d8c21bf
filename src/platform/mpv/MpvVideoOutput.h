// SPDX-License-Identifier: GPL-3.0-or-later
// What the player needs of the place its pictures go: a view that makes the output drawing the
// engine's frames into it (the Qt Quick video item does, on Qt Quick's render thread, with the
// render context of MpvRenderContext.h). The player owns the output and the core; the output
// owns the render context.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/MediaPlayer.h"

struct mpv_handle;

namespace lirra {

// Main thread only; every hook is called on the main thread.
class MpvVideoOutput {
  public:
    struct Hooks {
        std::function<bool()> hasPicture;  // false: the view shows its back colour
        // The engine can draw. `again`: a render context existed before (the view moved to
        // another window), and the engine dropped the video with it.
        std::function<void(bool again)> contextMade;
        std::function<void(const std::string&)> failed;  // no render context could be made
        std::function<void()> settingsChanged;           // the view's back colour or fill mode
    };

    virtual ~MpvVideoOutput() = default;

    // Starts drawing for `mpv` (none: an engine that did not start); the render context is
    // made once the view can draw.
    virtual void attach(mpv_handle* mpv) = 0;
    // The view stops calling in (no hook is called after this).
    virtual void detach() = 0;
    // Returns with the render context freed: libmpv requires it before the core goes.
    virtual void freeContext() = 0;
    virtual bool hasContext() const = 0;
    // The picture shown so far goes (the media stopped); the view repaints.
    virtual void clearPicture() = 0;
};

class MpvVideoSurface : public VideoView {
  public:
    virtual bool fillScreen() const = 0;
    virtual std::unique_ptr<MpvVideoOutput> makeOutput(MpvVideoOutput::Hooks hooks) = 0;
};

}  // namespace lirra
