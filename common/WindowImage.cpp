#include "WindowImage.h"

#include "CommandLine.h"
#include "HandlerReport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QImageWriter>
#include <QFile>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

bool screenPixelsReadable()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    // XWayland hands windows to the compositor and answers reads of them with
    // black; its screens are its outputs, named XWAYLAND0, XWAYLAND1...
    const auto screens = QGuiApplication::screens();
    return std::none_of(screens.begin(), screens.end(),
                        [](const QScreen* screen) { return screen->name().startsWith(QLatin1String("XWAYLAND")); });
}

QImage grabWindowImage(QWidget& window)
{
    // The X server's pixels of the window, what a person sees there. Where the
    // server cannot give them, the window renders itself, each viewport painting
    // the frame it presented.
    QImage image
        = screenPixelsReadable() ? window.screen()->grabWindow(window.winId()).toImage() : window.grab().toImage();
    return image.convertToFormat(QImage::Format_RGB32);
}

QString writeFileWhole(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temporary = target.left(slash + 1) + '.' + target.mid(slash + 1) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    // The permissions a file created in the usual way would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    int error = 0;
    for (qsizetype done = 0; done < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR)
            error = errno;
    }
    // tmpfs and network file systems may say "full" only here.
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return QString::fromLocal8Bit(std::strerror(error));
    }
    return {};
}

QString writeImageFile(const QImage& picture, const QString& path, const QByteArray& format)
{
    // Encoded in memory, so the encoder never meets a failing write (libpng
    // would print a line of its own).
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, format);
    if (!writer.write(picture))
        return writer.errorString();
    return writeFileWhole(path, encoded.data());
}

void saveScreenshotAndQuit(const QImage& picture, const QString& path)
{
    const QString failure = writeImageFile(picture, path, screenshotFormat(path));
    if (failure.isEmpty()) {
        QCoreApplication::exit(0);
        return;
    }
    vorn::reportError(QStringLiteral("cannot write the screenshot %1: %2 (choose a writable file)").arg(path, failure));
    QCoreApplication::exit(1);
}
