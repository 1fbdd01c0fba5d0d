#include "Screenshot.h"

#include "FrameGrab.h"
#include "HandlerReport.h"
#include "VornCtl.h"
#include "WindowImage.h"
#include "frmVimo.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

namespace meshscope {

namespace {

constexpr int lineFrameCheckMs = 20;

void grabNextFrame(frmVimo& window, const QString& path)
{
    vorn::grabWhenShown(
        window, window.viewport(), &VornCtl::framePresented,
        [path](const QImage& picture) { saveScreenshotAndQuit(picture, path); },
        [path] {
            vorn::reportError(QStringLiteral("no frame was shown within %1 s, so %2 was not written (check the "
                                             "X display and OpenGL)")
                                  .arg(vorn::kFrameWaitMs / 1000)
                                  .arg(path));
            QCoreApplication::exit(1);
        });
    window.viewport()->RequestRedraw();
}

void grabAfterDelay(frmVimo& window, const QString& path, int delayMs)
{
    QPointer<frmVimo> guard(&window);
    QTimer::singleShot(delayMs, &window, [guard, path] {
        if (guard)
            grabNextFrame(*guard, path);
    });
}

} // namespace

void takeScreenshotWhenShown(frmVimo& window, const QString& path, int delayMs, bool waitForLineFrame)
{
    if (!waitForLineFrame) {
        grabAfterDelay(window, path, delayMs);
        return;
    }
    // The line's first taken frame counts the interpolations up from 0; the
    // data file's surface does not.
    auto* check = new QTimer(&window);
    check->setInterval(lineFrameCheckMs);
    const QDeadlineTimer limit(vorn::kFrameWaitMs);
    QObject::connect(check, &QTimer::timeout, &window, [&window, check, limit, path, delayMs] {
        // A line that could not open (missing, busy) brings no frame: the
        // picture shows the window with its problem instead.
        const bool lineFailed
            = window.session().inputLine().retryTimer().isActive() && !window.session().inputLine().PortOpen();
        if (window.session().state().interpCount > 0 || lineFailed) {
            check->deleteLater();
            check->stop();
            grabAfterDelay(window, path, delayMs);
        } else if (limit.hasExpired()) {
            check->deleteLater();
            check->stop();
            vorn::reportError(QStringLiteral("no frame came from %1 within %2 s, so %3 was not written (check the "
                                             "line)")
                                  .arg(window.session().inputLine().name())
                                  .arg(vorn::kFrameWaitMs / 1000)
                                  .arg(path));
            QCoreApplication::exit(1);
        }
    });
    check->start();
}

} // namespace meshscope
