#pragma once
// Start-up shared by the programs that draw through VornCtl: the choice of Qt
// platform (the GLUT shapes need an X display).

#include "HandlerReport.h"

#include <QString>

namespace vorn {

// Call before the QApplication exists. Chooses the X11 platform (also under
// XWayland) and returns an empty string; where the program cannot draw, it
// chooses the offscreen platform instead, so that --help and --version still
// answer, and returns why it cannot draw and what to do, for failStart().
// argv may name the platform with -platform, as Qt allows.
QString chooseDisplayPlatform(int argc, char** argv);

} // namespace vorn
