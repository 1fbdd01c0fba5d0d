// One QApplication per test program, on X11 (xcb): freeglut and the GL
// viewport need an X display, and Qt's offscreen platform has no GL widgets.
#pragma once

#include "TestCoreApplication.h"

#include <QApplication>
#include <QInputDevice>
#include <QOpenGLContext>

inline QApplication& testApplication(const char* programName)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt keeps the current GL context and its input devices in storage made at
    // first use. Made before the application, they outlive it, so what Qt keeps
    // until exit after the X server's own pointer was used (its desktop
    // widget, the core pointer without XInput 2) still closes.
    (void)QOpenGLContext::currentContext();
    (void)QInputDevice::devices();
    return testApplicationOf<QApplication>(programName);
}
