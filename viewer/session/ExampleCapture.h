#pragma once

// Where the example capture stands for the first-start hint: installed beside
// the program (BIN/../share/meshscope/examples), or, for a program run from
// its build tree, in the sources the build's marker file names. The program
// holds no path of its own: a package and cmake --install --prefix put it
// anywhere.

#include <QString>

namespace meshscope {

// The marker a build writes next to the programs it makes: one line, the
// folder of the sources' examples.
inline constexpr char kBuildExamplesMarker[] = "meshscope-build-examples";

// The example capture for the program in programDir, or empty when there is none.
QString exampleCapture(const QString& programDir);

} // namespace meshscope
