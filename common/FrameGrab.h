#pragma once
// "Grab the window once the next frame is shown", written once for the
// screenshots, the saved and copied pictures of meshscope and Vorn's
// screenshot.

#include "WindowImage.h"

#include <QImage>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace vorn {

// How long a grab waits for its frame: a viewport that never presents (no
// usable OpenGL) must not leave anyone waiting.
inline constexpr int kFrameWaitMs = 30000;

// One grab waiting for its frame; a child of the window, so it never outlives it.
class FrameGrab : public QObject {
public:
    FrameGrab(QWidget& window, std::function<void(const QImage&)> use, std::function<void()> missed, int waitMs);
    // The frame is on the screen: grab the window once the presenting event has returned.
    void shown();

private:
    QWidget& window_;
    std::function<void(const QImage&)> use_;
    std::function<void()> missed_;
    QTimer limit_;
    FrameKeeping keeping_;
};

// Once source emits presented (a frame is on the screen), grabs window as the
// screen shows it and hands the picture to use; when no frame comes within
// waitMs, calls missed instead. One of them runs, once, and neither after the
// window is gone. The caller asks for the frame (a redraw) if none is due.
template <class Source, class Signal>
void grabWhenShown(QWidget& window, const Source* source, Signal presented, std::function<void(const QImage&)> use,
                   std::function<void()> missed, int waitMs = kFrameWaitMs)
{
    auto* grab = new FrameGrab(window, std::move(use), std::move(missed), waitMs);
    QObject::connect(
        source, presented, grab, [grab] { grab->shown(); }, Qt::SingleShotConnection);
}

} // namespace vorn
