#pragma once

// Shared pieces of the window tests: a Qt application on X, a pseudo-terminal
// that plays the device, a scratch working directory and pixel helpers.

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "TestApplication.h"

#include <cstdlib>
#include <string>

namespace windowtest {

inline QApplication& app() { return testApplication("meshscope"); }

// The device end of a pseudo-terminal; path() is what the viewer opens.
class FakeDevice {
public:
    FakeDevice()
    {
        char name[128] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            ADD_FAILURE() << "openpty failed";
        // Viewers started as processes must not inherit either end, or the
        // device would never look closed to them.
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        path_ = name;
    }
    ~FakeDevice()
    {
        hangUp();
        if (slave_ >= 0)
            ::close(slave_);
    }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    const std::string& path() const { return path_; }
    void send(const std::string& text) const
    {
        ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // Closes the device end, as an unplugged adapter or an ended simulator would.
    void hangUp()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    // Our copy of the terminal end; closed so only the viewer holds it.
    void releaseTerminalEnd()
    {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// A scratch directory made current, with an optional datafile.dat.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& dataFile = {})
    {
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        if (!dataFile.empty()) {
            QFile file(dir_.filePath(QStringLiteral("datafile.dat")));
            file.open(QIODevice::WriteOnly);
            file.write(dataFile.data(), static_cast<qint64>(dataFile.size()));
        }
    }
    ~ScratchDir() { QDir::setCurrent(previous_); }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Mean colour of the (2r+1)^2 pixels around (x, y).
inline QColor meanColour(const QImage& image, int x, int y, int r = 2)
{
    long red = 0, green = 0, blue = 0, n = 0;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const QColor c = image.pixelColor(x + dx, y + dy);
            red += c.red();
            green += c.green();
            blue += c.blue();
            ++n;
        }
    return QColor(int(red / n), int(green / n), int(blue / n));
}

// Share of pixels that differ between two pictures of the same size.
inline double changedShare(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1;
    long changed = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    return double(changed) / (double(a.width()) * a.height());
}

} // namespace windowtest
