#pragma once
// Start-up shared by the programs that draw through VornCtl: the choice of Qt
// platform (the GLUT shapes need an X display).

#include "HandlerReport.h"

#include <QString>

class QWidget;

namespace vorn {

// Call before the QApplication exists. Chooses the X11 platform (also under
// XWayland) and returns an empty string; where the program cannot draw (no
// X display, or none that draws OpenGL directly in a window), it
// chooses the offscreen platform instead, so that --help and --version still
// answer, and returns why it cannot draw and what to do, for the program to
// report before it exits.
// argv may name the platform with -platform, as Qt allows.
QString chooseDisplayPlatform(int argc, char** argv);

// Names the program to the window system: its window class and desktop entry
// are desktopName, and its windows' icon is the SVG drawing at iconResource
// (a Qt resource), drawn at the sizes taskbars and switchers ask for.
void nameProgram(const QString& desktopName, const QString& iconResource);

// Centres a top-level window in the available area of its screen; where its
// size is larger than that area, the window is reduced to fit.
void placeOnScreen(QWidget& window);

// From now on, when window comes to a screen of another scale, it takes
// again the size it had in logical pixels (reduced to fit that screen's
// available area), so what it lays out in logical pixels keeps its place;
// back on the first scale it has its size again.
void keepSizeAcrossScales(QWidget& window);

// A native child window keeps the device-pixel size it was last given, and a
// widget placed again where it already is tells it nothing. After the
// window's device pixel ratio changes, this gives each shown native window
// under window the place of its widget in the new ratio.
void refitNativeChildren(QWidget& window);

} // namespace vorn
