#include "Screenshot.h"

#include "FrameGrab.h"
#include "HandlerReport.h"
#include "VornCtl.h"
#include "WindowImage.h"
#include "frmVimo.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace meshscope {

void takeScreenshotWhenShown(frmVimo& window, const QString& path, int delayMs)
{
    QPointer<frmVimo> guard(&window);
    QTimer::singleShot(delayMs, &window, [guard, path] {
        if (!guard)
            return;
        vorn::grabWhenShown(
            *guard, guard->viewport(), &VornCtl::framePresented,
            [path](const QImage& picture) { saveScreenshotAndQuit(picture, path); },
            [path] {
                vorn::reportError(QStringLiteral("no frame was shown within %1 s, so %2 was not written (check the "
                                                 "X display and OpenGL)")
                                      .arg(vorn::kFrameWaitMs / 1000)
                                      .arg(path));
                QCoreApplication::exit(1);
            });
        guard->viewport()->RequestRedraw();
    });
}

} // namespace meshscope
