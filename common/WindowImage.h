#pragma once
// Pictures of a program's shown window, as the screen shows it, and the
// screenshot file both programs write on --screenshot.
#include <QImage>
#include <QString>

class QWidget;

// Whether the X server gives the pixels a person sees in a window: on X11,
// but not under XWayland (it answers with black) nor on other platforms.
bool screenPixelsReadable();

namespace vorn {
// Held while a grab waits for its frame: where the screen's pixels cannot be
// read, viewports then keep each frame they show for the grab to paint.
class FrameKeeping {
public:
    FrameKeeping() { ++waiting(); }
    ~FrameKeeping() { --waiting(); }
    FrameKeeping(const FrameKeeping&) = delete;
    FrameKeeping& operator=(const FrameKeeping&) = delete;
    static bool wanted() { return waiting() > 0; }

private:
    static int& waiting()
    {
        static int count = 0;
        return count;
    }
};
} // namespace vorn

// The window's client area as the screen shows it, in device pixels, opaque.
QImage grabWindowImage(QWidget& window);

// Writes bytes to path whole or not at all: into a new file beside it, then
// renamed over it. Empty when written, else the reason ("No space left on
// device"); a failure leaves no file behind.
QString writeFileWhole(const QString& path, const QByteArray& bytes);

// Writes picture to path in format ("png", "jpeg") whole or not at all: it is
// encoded first, then written beside path and renamed over it. Empty when
// written, else the reason ("No space left on device").
QString writeImageFile(const QImage& picture, const QString& path, const QByteArray& format);

// Writes picture to path as PNG or JPEG, as the extension names, and ends the
// application's event loop: exit status 0 when written, 1 after a line on
// standard error when not.
void saveScreenshotAndQuit(const QImage& picture, const QString& path);
