#pragma once
// meshgrid's command line: its options, their help and their checks.

#include <optional>
#include <string>
#include <vector>

#include "Levelling.h"
#include "Units.h"

struct Options {
    std::optional<std::string> dataFile;
    std::optional<char> smoothKey; // the digit key that sets the smoothing width
    bool raw = false;
    std::optional<std::string> exportFile; // the drawn surface goes there instead
    bool stats = false;                    // the surface's numbers instead of the grid
    meshscope::Levelling levelling;
    meshscope::SurfaceUnits units;
    std::vector<std::string> captures; // "-" or none: standard input
};

// Reads main's arguments into options. Returns the exit status when the
// program ends here: 0 after the help or the version, 2 after a line that
// says what is wrong with the command line.
std::optional<int> readOptions(int argc, char** argv, Options& options);
