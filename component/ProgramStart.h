#pragma once
// Start-up shared by the programs that draw through VornCtl: the choice of Qt
// platform (the GLUT shapes need an X display) and their one-line messages.

#include <QString>

#include <functional>

class QWidget;

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

// Names the program to the window system: its window class and desktop entry
// are desktopName, and its windows' icon is the SVG drawing at iconResource
// (a Qt resource), drawn at the sizes taskbars and switchers ask for.
void nameProgram(const QString& desktopName, const QString& iconResource);

// Centres a top-level window in the available area of its screen; where its
// size is larger than that area, the window is reduced to fit.
void placeOnScreen(QWidget& window);

} // namespace vorn
