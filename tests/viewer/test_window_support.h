#pragma once

// Shared pieces of the window tests: a Qt application on X, a pseudo-terminal
// that plays the device, a scratch working directory and pixel helpers.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

#include "PtyDevice.h"
#include "ScratchDir.h"
#include "TestApplication.h"

#include <cstdlib>
#include <functional>
#include <string>

namespace windowtest {

using FakeDevice = PtyDevice;
using ::ScratchDir;

inline QApplication& app()
{
    return testApplication("meshscope");
}

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

// Share of pixels that differ between two pictures of the same size, by more
// than shade in some colour.
inline double changedShare(const QImage& a, const QImage& b, int shade = 0)
{
    if (a.size() != b.size())
        return 1;
    long changed = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            changed += std::abs(qRed(p) - qRed(q)) > shade || std::abs(qGreen(p) - qGreen(q)) > shade
                || std::abs(qBlue(p) - qBlue(q)) > shade;
        }
    return double(changed) / (double(a.width()) * a.height());
}

// A picture of the screen once it holds still: the paint asked for and the
// boxes' repaints after it, however long a loaded machine takes.
inline QImage settled(const std::function<QImage()>& grab)
{
    QImage now = grab();
    QImage previous;
    (void)QTest::qWaitFor(
        [&] {
            previous = now;
            now = grab();
            return now == previous;
        },
        10000);
    return now;
}

} // namespace windowtest
