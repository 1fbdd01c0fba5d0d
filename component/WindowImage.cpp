#include "WindowImage.h"

#include "CommandLine.h"
#include "ProgramStart.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QOpenGLWidget>
#include <QPainter>

namespace {

// The same pixel layout with its alpha channel ignored.
QImage::Format withoutAlpha(QImage::Format format)
{
    switch (format) {
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: return QImage::Format_RGB32;
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied: return QImage::Format_RGBX8888;
    case QImage::Format_A2RGB30_Premultiplied: return QImage::Format_RGB30;
    case QImage::Format_A2BGR30_Premultiplied: return QImage::Format_BGR30;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied: return QImage::Format_RGBX64;
    default: return format;
    }
}

} // namespace

QImage grabWindowImage(QWidget& window)
{
    // Rendered by the window itself, so other windows lying over it do not show.
    QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QPainter painter(&image);
    for (QOpenGLWidget* viewport : window.findChildren<QOpenGLWidget*>()) {
        if (!viewport->isVisible())
            continue;
        // The screen shows a viewport's colours whatever their alpha (the
        // scenes clear with alpha 0), so drop the alpha rather than blend.
        QImage frame = viewport->grabFramebuffer();
        frame.reinterpretAsFormat(withoutAlpha(frame.format()));
        painter.drawImage(viewport->mapTo(&window, QPoint(0, 0)), frame);
    }
    return image;
}

void saveScreenshotAndQuit(const QImage& picture, const QString& path)
{
    QImageWriter writer(path, screenshotFormat(path));
    if (writer.write(picture)) {
        QCoreApplication::exit(0);
        return;
    }
    vorn::reportLine(
        QCoreApplication::applicationName(),
        QStringLiteral("cannot write the screenshot %1: %2 (choose a writable file)").arg(path, writer.errorString()));
    QCoreApplication::exit(1);
}
