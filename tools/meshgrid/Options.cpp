#include "Options.h"

#include "Usage.h"

namespace {

constexpr const char* kProgram = "meshgrid";

constexpr const char* kHelp = "Usage: meshgrid [--data FILE] [--smooth D] [--raw | --export FILE] [CAPTURE ...]\n"
                              "Turns a captured serial stream or a data file into meshscope's height grid.\n"
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

} // namespace

std::optional<int> readOptions(int argc, char** argv, Options& options)
{
    try {
        const usage::Arguments arguments(kProgram, {{"data", true}, {"smooth", true}, {"raw", false}, {"export", true}},
                                         std::vector<std::string>(argv + 1, argv + argc), usage::Operands::Taken);
        if (arguments.isSet("data"))
            options.dataFile = arguments.value("data");
        if (arguments.isSet("smooth")) {
            const std::string value = arguments.value("smooth");
            if (value.size() != 1 || value[0] < '1' || value[0] > '9')
                throw usage::BadCommandLine("bad --smooth value \"" + value + "\" (use a digit from 1 to 9)");
            options.smoothKey = value[0];
        }
        options.raw = arguments.isSet("raw");
        if (arguments.isSet("export")) {
            if (options.raw)
                throw usage::BadCommandLine("--raw and --export cannot be combined (the export is the drawn surface)");
            options.exportFile = arguments.value("export");
        }
        options.captures = arguments.operands();
        return arguments.answer(kHelp, MESHGRID_VERSION);
    } catch (const usage::BadCommandLine& bad) {
        return usage::failCommandLine(kProgram, bad.what());
    }
}
