#include "Screenshot.h"

#include "ProgramStart.h"
#include "VornCtl.h"
#include "WindowImage.h"
#include "frmVimo.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

namespace meshscope {

namespace {

// A viewport that never presents (no usable GL) must not leave a script waiting.
constexpr int frameTimeoutMs = 30000;

void grabNextFrame(frmVimo& window, const QString& path)
{
    QTimer::singleShot(frameTimeoutMs, &window, [path] {
        vorn::reportLine(
            QCoreApplication::applicationName(),
            QStringLiteral("no frame was shown within %1 s, so %2 was not written (check the X display and OpenGL)")
                .arg(frameTimeoutMs / 1000)
                .arg(path));
        QCoreApplication::exit(1);
    });
    QObject::connect(
        window.viewport(), &VornCtl::framePresented, &window,
        [&window, path] {
            // Leave the presenting event first so the window holds the new frame.
            // What the screen shows of the window, text boxes over the viewport included.
            QTimer::singleShot(0, &window, [&window, path] { saveScreenshotAndQuit(grabWindowImage(window), path); });
        },
        Qt::SingleShotConnection);
    window.viewport()->RequestRedraw();
}

} // namespace

void takeScreenshotWhenShown(frmVimo& window, const QString& path, int delayMs)
{
    QPointer<frmVimo> guard(&window);
    QTimer::singleShot(delayMs, &window, [guard, path] {
        if (guard)
            grabNextFrame(*guard, path);
    });
}

} // namespace meshscope
