#pragma once
// Start-up shared by the programs that draw through VornCtl: the choice of Qt
// platform (the GLUT shapes need an X display) and their one-line messages.

#include <QString>

#include <functional>

namespace vorn {

// Call before the QApplication exists. Chooses the X11 platform (also under
// XWayland) and returns an empty string; where the program cannot draw, it
// chooses the offscreen platform instead, so that --help and --version still
// answer, and returns why it cannot draw and what to do, for failStart().
// argv may name the platform with -platform, as Qt allows.
QString chooseDisplayPlatform(int argc, char** argv);

// Writes "program: text" as one line on standard error.
void reportLine(const QString& program, const QString& text);

// Runs one event handler of a program. An error it raises ends that handler
// only: it is written as the one line "program: handler: what", the program
// being the application's name, and false is returned.
bool runHandler(const QString& handler, const std::function<void()>& body);

} // namespace vorn
