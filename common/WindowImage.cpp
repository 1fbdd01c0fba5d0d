#include "WindowImage.h"

#include "CommandLine.h"
#include "HandlerReport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QImageWriter>
#include <QWidget>

QImage grabWindowImage(QWidget& window)
{
    // The X server's pixels of the window, what a person sees there. Other
    // platforms let the window render itself, each viewport painting its picture.
    QImage image = QGuiApplication::platformName() == QLatin1String("xcb")
        ? window.screen()->grabWindow(window.winId()).toImage()
        : window.grab().toImage();
    return image.convertToFormat(QImage::Format_RGB32);
}

void saveScreenshotAndQuit(const QImage& picture, const QString& path)
{
    QImageWriter writer(path, screenshotFormat(path));
    if (writer.write(picture)) {
        QCoreApplication::exit(0);
        return;
    }
    vorn::reportError(
        QStringLiteral("cannot write the screenshot %1: %2 (choose a writable file)").arg(path, writer.errorString()));
    QCoreApplication::exit(1);
}
