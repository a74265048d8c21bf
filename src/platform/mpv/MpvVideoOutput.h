// What the player needs of the place its pictures go: a view (widget or Qt Quick item) that
// makes the output drawing the engine's frames into it. The player owns the output and the core;
// the output owns the render context.
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
        std::function<bool()> hasPicture;                // false: the view shows its back colour
        std::function<void()> contextMade;               // the engine can draw
        std::function<void(const std::string&)> failed;  // no render context could be made
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
