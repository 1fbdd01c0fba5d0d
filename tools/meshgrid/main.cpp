// meshgrid: turns a captured serial stream or a data file into the viewer's
// height grid, without a window.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "BatchHost.h"
#include "Commands.h"
#include "DataFile.h"
#include "SerialInput.h"
#include "ViewerState.h"

namespace {

constexpr const char* kProgram = "meshgrid";
constexpr const char* kUsage = "usage: meshgrid [--data FILE] [--smooth D] [--raw] [CAPTURE ...]";

constexpr const char* kHelp =
    "Turns a captured serial stream or a data file into meshscope's height grid.\n"
    "\n"
    "  --data FILE   read FILE as the viewer reads datafile.dat, before the stream\n"
    "  --smooth D    smoothing width as the key D (1..9) sets it: 2 x D - 1\n"
    "  --raw         write the unsmoothed grid over the data extent instead\n"
    "  CAPTURE ...   files holding the serial byte stream (default: standard input)\n"
    "  --help, --version\n"
    "\n"
    "Writes one line \"x y z\" per cell of the drawn range, x outer and y inner, and\n"
    "\"accepted N, reference M\" on standard error. Exit status 0, or 2 with a\n"
    "one-line message on a bad option or an unreadable file.\n";

struct Options {
    bool exitAfterInfo = false;
    std::optional<std::string> dataFile;
    std::optional<char> smoothKey;
    bool raw = false;
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
        if (arg == "--help" || arg == "--version") {
            std::cout << (arg == "--help" ? std::string(kUsage) + "\n" + kHelp
                                          : std::string(kProgram) + " " + MESHGRID_VERSION + "\n");
            options.exitAfterInfo = true;
            return std::nullopt;
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--data" || arg == "--smooth") {
            if (i + 1 >= argc) return arg + " needs a value (" + kUsage + ")";
            const std::string value = argv[++i];
            if (arg == "--data") {
                options.dataFile = value;
            } else if (value.size() == 1 && value[0] >= '1' && value[0] <= '9') {
                options.smoothKey = value[0];
            } else {
                return "bad --smooth value \"" + value + "\" (use a digit from 1 to 9)";
            }
        } else if (arg == "--") {
            for (++i; i < argc; ++i) options.captures.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg + " (" + kUsage + ")";
        } else {
            options.captures.push_back(arg);
        }
    }
    return std::nullopt;
}

std::optional<std::string> readCaptures(const std::vector<std::string>& captures, std::string& stream)
{
    if (captures.empty()) {
        stream.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return std::nullopt;
    }
    for (const auto& path : captures) {
        std::ifstream file(path, std::ios::binary);
        if (!file) return "cannot open " + path + ": " + std::strerror(errno) + " (check the capture file's path)";
        std::ostringstream content;
        content << file.rdbuf();
        if (file.bad()) return "cannot read " + path + ": " + std::strerror(errno) + " (check the capture file)";
        stream += content.str();
    }
    return std::nullopt;
}

// The shortest text that reads back as the same Single.
std::string shortest(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void writeGrid(const meshscope::HeightGrid& grid, int firstX, int lastX, int firstY, int lastY)
{
    std::string out;
    for (int x = firstX; x <= lastX; ++x) {
        for (int y = firstY; y <= lastY; ++y) {
            out += std::to_string(x);
            out += ' ';
            out += std::to_string(y);
            out += ' ';
            out += shortest(grid[x][y]);
            out += '\n';
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const auto error = parseOptions(argc, argv, options)) return fail(*error);
    if (options.exitAfterInfo) return 0;

    auto state = std::make_unique<meshscope::ViewerState>();
    meshgrid::BatchHost host(kProgram);
    meshscope::applyStartValues(*state);
    if (options.smoothKey) state->smoothLevel = meshscope::smoothLevelForKey(*options.smoothKey);
    if (options.dataFile && !meshscope::CheckFile(*state, host, *options.dataFile)) return 2;

    std::string stream;
    if (const auto error = readCaptures(options.captures, stream)) return fail(*error);

    for (auto& piece : meshgrid::cutAfterEachFrameEnd(stream)) {
        host.deliver(std::move(piece));
        meshscope::serialPollTick(*state, host);
    }
    meshscope::serialPollTick(*state, host);

    if (options.raw)
        writeGrid(state->rawHeights, state->minX, state->maxX, state->minY, state->maxY);
    else
        writeGrid(state->heights, state->drawMinX, state->drawMaxX, state->drawMinY, state->drawMaxY);
    std::fflush(stdout);
    std::cerr << "accepted " << state->interpCount << ", reference " << state->okCount << '\n';
    return 0;
}
