// meshgrid: turns a captured serial stream or a data file into the viewer's
// height grid, without a window.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BatchHost.h"
#include "Commands.h"
#include "FileChunks.h"
#include "DataFile.h"
#include "GridText.h"
#include "Levelling.h"
#include "Options.h"
#include "SerialInput.h"
#include "SurfaceExport.h"
#include "SurfaceStatistics.h"
#include "ViewerState.h"

namespace {

constexpr const char* kProgram = "meshgrid";

int fail(const std::string& message)
{
    std::cerr << kProgram << ": " << message << '\n';
    return 2;
}

// Advice for a file that cannot be opened, by the reason.
std::string openAdvice(int error)
{
    if (error == EACCES || error == EPERM)
        return " (check its permissions, or run as a user who may read it)";
    if (error == ENOENT || error == ENOTDIR)
        return " (check the path)";
    return " (check the file)";
}

// Reads one capture ("-" is standard input) into the feeder, piece by piece.
std::optional<std::string> readCapture(const std::string& path, meshgrid::StreamFeeder& feeder)
{
    const bool standardInput = path == "-";
    const std::string name = standardInput ? "standard input" : path;
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "cannot open " + name + ": " + std::strerror(errno) + openAdvice(errno);
    struct stat info {};
    const bool directory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    std::optional<std::string> error;
    if (directory)
        error = "cannot read " + name + ": it is a directory (give a capture file)";
    if (!error) {
        const int readError = meshscope::readInChunks(fd, [&](std::string_view piece) {
            feeder.feed(piece);
            return true;
        });
        if (readError != 0)
            error = "cannot read " + name + ": " + std::strerror(readError) + " (check the file)";
    }
    if (!standardInput)
        ::close(fd);
    return error;
}

// The drawn surface's numbers, one "name value [unit]" line each; the frame's
// points only when a frame was taken.
std::string statisticsText(const meshscope::DrawnSurface& surface, const meshscope::ViewerState& state,
                           const meshscope::SurfaceUnits& units)
{
    constexpr int kDigits = 6;
    const meshscope::SurfaceStatistics stats = meshscope::surfaceStatistics(surface);
    std::string out;
    const auto line
        = [&out](const char* name, const std::string& value) { out += std::string(name) + ' ' + value + '\n'; };
    const auto cell = [](const meshscope::GridCell& c) { return std::to_string(c.x) + ' ' + std::to_string(c.y); };
    const auto height = [&](double value) { return units.height(meshscope::shownValue(value, stats), kDigits); };
    line("min", height(stats.minimum));
    line("max", height(stats.maximum));
    line("range", height(stats.range()));
    line("mean", height(stats.mean));
    line("Sq", height(stats.sq));
    line("Sa", height(stats.sa));
    line("min_cell", cell(stats.minimumCell));
    line("max_cell", cell(stats.maximumCell));
    line("cells", std::to_string(stats.cells));
    const auto points = meshscope::pointStatistics(state.interpCount > 0 ? state.lastPoint : -1, state.ptZ);
    line("points", std::to_string(points.count));
    if (points.count > 0) {
        line("points_min", units.height(points.minimum, kDigits));
        line("points_max", units.height(points.maximum, kDigits));
    }
    return out;
}

bool writeOut(const std::string& out)
{
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout);
}

int run(const Options& options)
{
    auto state = std::make_unique<meshscope::ViewerState>();
    meshgrid::BatchHost host(kProgram);
    meshscope::applyStartValues(*state);
    if (options.smoothKey)
        state->smoothLevel = meshscope::smoothLevelForKey(*options.smoothKey);
    if (options.dataFile && !meshscope::CheckFile(*state, host, *options.dataFile))
        return 2;

    meshgrid::StreamFeeder feeder(*state, host);
    const std::vector<std::string> standardInput{"-"};
    for (const auto& path : options.captures.empty() ? standardInput : options.captures) {
        if (const auto error = readCapture(path, feeder))
            return fail(*error);
    }
    feeder.finish();

    if (!options.dataFile && state->interpCount == 0) {
        return fail(feeder.empty()
                        ? "the input is empty and no --data file was given: no grid to write"
                        : "no frame of the input was accepted and no --data file was given: no grid to write");
    }
    const bool raw = options.raw;
    const int firstX = raw ? state->minX : state->drawMinX, lastX = raw ? state->maxX : state->drawMaxX;
    const int firstY = raw ? state->minY : state->drawMinY, lastY = raw ? state->maxY : state->drawMaxY;
    // A data file without samples and a stream without an accepted frame leave nothing to draw.
    if (firstX > lastX || firstY > lastY)
        return fail("no grid to write: " + (options.dataFile ? *options.dataFile : std::string("the data"))
                    + " holds no sample and no frame of the input was accepted");
    meshscope::DrawnSurface surface = meshscope::drawnSurface(*state);
    if (options.levelling.active()) {
        meshscope::levelSurface(surface, options.levelling);
        meshscope::showSurface(*state, surface);
    }
    if (options.exportFile) {
        if (const auto failure = meshscope::exportSurface(surface, *options.exportFile, options.units))
            return fail("cannot export the surface to " + *options.exportFile + ": " + *failure);
    }
    const auto& grid = options.raw ? state->rawHeights : state->heights;
    const bool written = options.stats ? writeOut(statisticsText(surface, *state, options.units))
        : options.exportFile           ? true
                                       : writeOut(meshscope::gridText(grid, firstX, lastX, firstY, lastY));
    if (!written)
        return fail(std::string("cannot write the grid to standard output: ") + std::strerror(errno));
    std::cerr << "accepted " << state->interpCount << ", reference " << state->okCount << "; frames in the stream "
              << feeder.frames() << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const auto status = readOptions(argc, argv, options))
        return *status;
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        return fail("out of memory (try a smaller input)");
    }
}
