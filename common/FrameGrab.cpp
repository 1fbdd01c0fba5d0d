#include "FrameGrab.h"

#include "WindowImage.h"

namespace vorn {

FrameGrab::FrameGrab(QWidget& window, std::function<void(const QImage&)> use, std::function<void()> missed, int waitMs)
    : QObject(&window), window_(window), use_(std::move(use)), missed_(std::move(missed))
{
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        deleteLater();
        if (missed_)
            missed_();
    });
    limit_.start(waitMs);
}

void FrameGrab::shown()
{
    limit_.stop();
    // Leave the presenting event first so the window holds the new frame:
    // what the screen shows of the window, text boxes over the viewport included.
    QTimer::singleShot(0, this, [this] {
        deleteLater();
        use_(grabWindowImage(window_));
    });
}

} // namespace vorn
