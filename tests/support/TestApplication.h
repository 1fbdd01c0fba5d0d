// One QApplication per test program, on X11 (xcb): freeglut and the GL
// viewport need an X display, and Qt's offscreen platform has no GL widgets.
#pragma once

#include "TestCoreApplication.h"

#include <QApplication>

inline QApplication& testApplication(const char* programName)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return testApplicationOf<QApplication>(programName);
}
