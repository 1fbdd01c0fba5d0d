#pragma once
// meshscope's command line: its options, their help and their checks.

#include "Levelling.h"
#include "Units.h"

#include <QString>

#include <optional>

namespace meshscope {

// What differs between the builds of the viewer.
struct Build {
    const char* program; // the name it runs under
    const char* version;
    int commPort; // the default port, COM1 or COM2
};

// What the command line asks of the viewer.
struct Options {
    QString port; // a device path or a network source; empty for the build's COM port
    int baud = 0;
    QString caFile; // for an mqtts:// port; empty for the system's authorities
    std::optional<QString> recordFile;
    QString dataFile;
    bool live = false;
    bool scale = false;   // the colour scale beside the view
    bool samples = false; // the last frame's points marked in the scene
    bool stats = false;   // the statistics panel
    bool trend = false;   // the trend chart over the history
    bool fitted = false;  // colours fitted to the shown heights, not the colour mode's
    SurfaceUnits units;   // what a grid step and a height unit are
    Levelling levelling;  // the tilt and zero taken away from the shown surface
    QString saveDir;      // empty for the working directory
    std::optional<QString> screenshot;
    int screenshotDelayMs = 0;
    std::optional<QString> replay; // a capture played instead of a port
    double replayRate = 20;        // its frames per second
};

// Reads main's arguments into options. Returns the exit status when the
// program ends here: 0 after the help, the version or the list of serial
// ports, 2 after a line that says what is wrong with the command line.
std::optional<int> readOptions(const Build& build, int argc, char** argv, Options& options);

} // namespace meshscope
