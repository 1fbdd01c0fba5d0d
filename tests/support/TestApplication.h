// One QApplication per test program, on X11 (xcb): freeglut and the GL
// viewport need an X display, and Qt's offscreen platform has no GL widgets.
#pragma once

#include <QApplication>

#include <string>

inline QApplication& testApplication(const char* programName)
{
    static std::string name = programName;   // argv must outlive the application
    static int argc = 1;
    static char* argv[] = {name.data(), nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    static QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(name));
    return application;
}
