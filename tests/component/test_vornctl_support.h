#pragma once
// Shared pieces of the viewport-control tests: an application on the X11
// platform, a window holding one or two controls, and a look at what the
// screen shows.

#include "VornCtl.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <functional>

inline QApplication& testApp()
{
    static int argc = 3;
    static char name[] = "vorntest", option[] = "-platform", platform[] = "xcb";
    static char* argv[] = {name, option, platform, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A window with a control at its top-left corner whose events run the test's code.
struct ViewportHost {
    explicit ViewportHost(int width = 160, int height = 120)
    {
        window.resize(width, height);
        ctl = new VornCtl(&window);
        ctl->setObjectName(QStringLiteral("VornCtl1"));
        ctl->setGeometry(0, 0, width, height);
        QObject::connect(ctl, &VornCtl::initialization, [this] { if (onInit) onInit(*ctl); });
        QObject::connect(ctl, &VornCtl::paint, [this] { if (onPaint) onPaint(*ctl); });
    }

    // Shows the window and waits for its first presented frame.
    bool show()
    {
        QSignalSpy presented(ctl, &VornCtl::framePresented);
        window.show();
        return QTest::qWaitForWindowExposed(&window) && (presented.count() > 0 || presented.wait(5000));
    }

    // Waits for the next presented frame; false if none comes.
    bool nextFrame(const std::function<void()>& trigger)
    {
        QSignalSpy presented(ctl, &VornCtl::framePresented);
        trigger();
        return presented.wait(5000);
    }

    bool redraw() { return nextFrame([this] { ctl->RequestRedraw(); }); }

    // What the window shows now, in the control's pixels (y downwards).
    QImage screen()
    {
        QCoreApplication::processEvents();
        return window.screen()->grabWindow(window.winId(), ctl->x(), ctl->y(), ctl->width(), ctl->height())
            .toImage().convertToFormat(QImage::Format_RGB32);
    }

    QApplication& app = testApp();   // before any widget
    QWidget window;
    VornCtl* ctl;
    std::function<void(VornCtl&)> onInit;
    std::function<void(VornCtl&)> onPaint;
};

inline bool near(QRgb pixel, int red, int green, int blue, int tolerance = 2)
{
    return std::abs(qRed(pixel) - red) <= tolerance && std::abs(qGreen(pixel) - green) <= tolerance
        && std::abs(qBlue(pixel) - blue) <= tolerance;
}

inline void fill(VornCtl& ctl, float red, float green, float blue)
{
    ctl.glClearColor(red, green, blue, 1);
    ctl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
