#include "Screenshot.h"

#include "CommandLine.h"
#include "VornCtl.h"
#include "frmVimo.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace meshscope {

namespace {

void writeAndQuit(frmVimo& window, const QString& path)
{
    const QPixmap picture = window.grab();
    QImageWriter writer(path, screenshotFormat(path));
    if (writer.write(picture.toImage())) {
        QCoreApplication::exit(0);
        return;
    }
    std::fprintf(stderr, "%s: cannot write the screenshot %s: %s (choose a writable path)\n",
                 QCoreApplication::applicationName().toLocal8Bit().constData(),
                 path.toLocal8Bit().constData(), writer.errorString().toLocal8Bit().constData());
    QCoreApplication::exit(1);
}

// A viewport that never presents (no usable GL) must not leave a script waiting.
constexpr int frameTimeoutMs = 30000;

void grabNextFrame(frmVimo& window, const QString& path)
{
    QTimer::singleShot(frameTimeoutMs, &window, [path] {
        std::fprintf(stderr, "%s: no frame was shown within %d s, so %s was not written (check the X display and OpenGL)\n",
                     QCoreApplication::applicationName().toLocal8Bit().constData(), frameTimeoutMs / 1000,
                     path.toLocal8Bit().constData());
        QCoreApplication::exit(1);
    });
    QObject::connect(
        window.viewport(), &VornCtl::framePresented, &window,
        [&window, path] {
            // Leave the presenting event first so the window holds the new frame.
            QTimer::singleShot(0, &window, [&window, path] { writeAndQuit(window, path); });
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
