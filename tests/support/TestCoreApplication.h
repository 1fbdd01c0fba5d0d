// One Qt application object per test program, named as the program whose
// messages the tests read; App is QCoreApplication for tests without windows.
#pragma once

#include <QCoreApplication>

#include <string>

template <class App = QCoreApplication>
App& testApplicationOf(const char* programName)
{
    static std::string name = programName; // argv must outlive the application
    static int argc = 1;
    static char* argv[] = {name.data(), nullptr};
    static App application(argc, argv);
    QCoreApplication::setApplicationName(QString::fromStdString(name));
    return application;
}
