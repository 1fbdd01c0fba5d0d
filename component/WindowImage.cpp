#include "WindowImage.h"

#include "CommandLine.h"
#include "ProgramStart.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QWidget>

QImage grabWindowImage(QWidget& window)
{
    // Rendered by the window itself, so other windows lying over it do not
    // show; each viewport paints its presented picture into the grab.
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
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
