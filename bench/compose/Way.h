// One way of composing the video and a page over it, for the composition spikes.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

struct Way {
    virtual ~Way() = default;
    // Video frames that reached the window since the start.
    virtual long framesShown() const = 0;
    // The engine's own count of frames it dropped ("frame-drop-count"), as text.
    virtual std::string engineDrops() const = 0;
    // The video's time in ms, or -1 while there is none.
    virtual long long videoMs() const = 0;
    // Runs a script in the page, without waiting.
    virtual void runScript(const QString& script) = 0;
};

// `firstFrame` is called once, when a frame of the playing video has been shown.
std::unique_ptr<Way> makeWidgetsWay(const QString& file, const QUrl& page, bool withPage,
                                    std::function<void()> firstFrame);
// `band`: the page is composed only over the bottom quarter, where its line is.
std::unique_ptr<Way> makeQuickWay(const QString& file, const QUrl& page, bool withPage, bool band,
                                  std::function<void()> firstFrame);
std::unique_ptr<Way> makeQuickFboWay(const QString& file, const QUrl& page, bool withPage,
                                     std::function<void()> firstFrame);
