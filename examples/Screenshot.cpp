#include "Screenshot.h"

#include <QImageWriter>
#include <QScreen>
#include <QWidget>

QImage grabWindowImage(QWidget& window)
{
    // Read back what the X server shows; fall back to rendering the widget
    // where the window system refuses screen grabs.
    QImage image;
    if (QScreen* screen = window.screen())
        image = screen->grabWindow(window.winId()).toImage();
    if (image.isNull() || image.size() != window.size() * window.devicePixelRatio())
        image = window.grab().toImage();
    return image;
}

bool saveWindowImage(QWidget& window, const QString& path, QString& error)
{
    QImageWriter writer(path, "png");
    if (writer.write(grabWindowImage(window)))
        return true;
    error = writer.errorString();
    return false;
}
