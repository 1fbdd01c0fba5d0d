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
#include "SerialInput.h"
#include "SurfaceExport.h"
#include "Usage.h"
#include "ViewerState.h"

namespace {

constexpr const char* kProgram = "meshgrid";
constexpr const char* kUsage = "Usage: meshgrid [--data FILE] [--smooth D] [--raw | --export FILE] [CAPTURE ...]";

constexpr const char* kHelp = "Turns a captured serial stream or a data file into meshscope's height grid.\n"
                              "\n"
                              "  --data FILE   read FILE as the viewer reads datafile.dat, before the stream\n"
                              "  --smooth D    smoothing width as the key D (1..9) sets it: 2 x D - 1\n"
                              "  --raw         write the unsmoothed grid over the data extent instead\n"
                              "  --export FILE write the drawn surface to FILE instead, by its ending: .stl\n"
                              "                (binary) or .ply (ASCII) as one closed solid down to a floor\n"
                              "                below the lowest height, .csv as x,y,z lines; whole or not at all\n"
                              "  CAPTURE ...   files holding the serial byte stream; - or none: standard input\n"
                              "  -h, --help, -v, --version\n"
                              "\n"
                              "The stream is played to the viewer's poll tick one piece per tick, each piece\n"
                              "ending at a \">\", and one quiet tick follows. Writes one line \"x y z\" per cell\n"
                              "of the drawn range, x outer and y inner, and on standard error\n"
                              "\"accepted N, reference M; frames in the stream K\": N counts accepted takes, as\n"
                              "the viewer's counters do, so a complete frame left last in the buffer counts\n"
                              "again at each later tick; M counts those that were the reference frame; K\n"
                              "counts the frames \"<\" ... \">\" in the stream, well-formed or not.\n"
                              "Exit status 0, or 2 with a one-line message on a bad option, a file that\n"
                              "cannot be read, an input with nothing to grid, or output that cannot be written.\n";

struct Options {
    bool exitAfterInfo = false;
    std::optional<std::string> dataFile;
    std::optional<char> smoothKey;
    bool raw = false;
    std::optional<std::string> exportFile;
    std::vector<std::string> captures;
};

int fail(const std::string& message)
{
    std::cerr << kProgram << ": " << message << '\n';
    return 2;
}

// Parses the command line; on a bad option returns the message to print.
std::optional<std::string> parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (usage::isHelpOption(arg) || usage::isVersionOption(arg)) {
            if (usage::isHelpOption(arg))
                std::cout << kUsage << '\n' << kHelp;
            else
                usage::printVersion(kProgram, MESHGRID_VERSION);
            options.exitAfterInfo = true;
            return std::nullopt;
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--data" || arg == "--smooth" || arg == "--export") {
            if (i + 1 >= argc)
                return arg + " needs a value" + usage::seeHelp(kProgram);
            const std::string value = argv[++i];
            if (arg == "--data") {
                options.dataFile = value;
            } else if (arg == "--export") {
                options.exportFile = value;
            } else if (value.size() == 1 && value[0] >= '1' && value[0] <= '9') {
                options.smoothKey = value[0];
            } else {
                return "bad --smooth value \"" + value + "\" (use a digit from 1 to 9)";
            }
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                options.captures.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "'" + usage::seeHelp(kProgram);
        } else {
            options.captures.push_back(arg);
        }
    }
    if (options.raw && options.exportFile)
        return std::string("--raw and --export cannot be combined (the export is the drawn surface)");
    return std::nullopt;
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

// Writes one "x y z" line per cell; false when standard output failed.
bool writeGrid(const meshscope::HeightGrid& grid, int firstX, int lastX, int firstY, int lastY)
{
    const std::string out = meshscope::gridText(grid, firstX, lastX, firstY, lastY);
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
    if (options.exportFile) {
        if (const auto failure = meshscope::exportSurface(meshscope::drawnSurface(*state), *options.exportFile))
            return fail("cannot export the surface to " + *options.exportFile + ": " + *failure);
    }
    const bool written = options.exportFile ? true
        : options.raw                       ? writeGrid(state->rawHeights, firstX, lastX, firstY, lastY)
                                            : writeGrid(state->heights, firstX, lastX, firstY, lastY);
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
    if (const auto error = parseOptions(argc, argv, options))
        return usage::failCommandLine(kProgram, *error);
    if (options.exitAfterInfo)
        return 0;
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        return fail("out of memory (try a smaller input)");
    }
}
