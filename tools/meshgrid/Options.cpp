#include "Options.h"

#include "Usage.h"

namespace {

constexpr const char* kProgram = "meshgrid";

constexpr const char* kHelp
    = "Usage: meshgrid [--data FILE] [--smooth D] [--raw | [--stats] [--export FILE] [--level none|plane]\n"
      "                [--zero none|min|mean] [--grid-step LENGTH] [--height-unit QUANTITY]] [CAPTURE ...]\n"
      "Turns a captured serial stream or a data file into meshscope's height grid.\n"
      "\n"
      "  --data FILE            read FILE as the viewer reads datafile.dat, before the stream\n"
      "  --smooth D             smoothing width as the key D (1..9) sets it: 2 x D - 1\n"
      "  --raw                  write the unsmoothed grid over the data extent instead\n"
      "  --stats                write the drawn surface's numbers instead, one per line, name\n"
      "                         first: min, max, range, mean, Sq (root mean square about the\n"
      "                         mean), Sa (mean absolute deviation), min_cell and max_cell (the\n"
      "                         column and row of the extremes), cells, and the last frame's\n"
      "                         points, points_min and points_max\n"
      "  --export FILE          write the drawn surface to FILE instead, by its ending: .stl\n"
      "                         (binary) or .ply (ASCII) as one closed solid down to a floor\n"
      "                         below the lowest height, .csv as x,y,z lines, .gsf as a\n"
      "                         Gwyddion Simple Field; whole or not at all\n"
      "  --level none|plane     take away the plane fitted to the drawn surface by least\n"
      "                         squares (default none)\n"
      "  --zero none|min|mean   then move the zero to the lowest height or to the mean\n"
      "                         (default none)\n"
      "  --grid-step LENGTH     the distance between neighbouring columns and rows, such as\n"
      "                         0.5mm, 2.5 mm or 20um (prefixes n, u or \xC2\xB5, m, c, k)\n"
      "  --height-unit QUANTITY what one height unit is, such as 10um, 0.01mm, 0.1kPa or\n"
      "                         0.5\xC2\xB0"
      "C\n"
      "  CAPTURE ...            files holding the serial byte stream; - or none: standard input\n"
      "  -h, --help, -v, --version\n"
      "\n"
      "The stream is played to the viewer's poll tick one piece per tick, each piece\n"
      "ending at a \">\", and one quiet tick follows. Writes one line \"x y z\" per cell\n"
      "of the drawn range, x outer and y inner (levelled as asked, in grid steps and\n"
      "height units), and on standard error\n"
      "\"accepted N, reference M; frames in the stream K\": N counts accepted takes, as\n"
      "the viewer's counters do, so a complete frame left last in the buffer counts\n"
      "again at each later tick; M counts those that were the reference frame; K\n"
      "counts the frames \"<\" ... \">\" in the stream, well-formed or not.\n"
      "The numbers of --stats and the exports are in the units given: lengths in the\n"
      "statistics as people read them (79.5 \xC2\xB5m), STL and PLY in millimetres when\n"
      "both units are lengths, the Gwyddion field in metres, the CSV in the units its\n"
      "header names.\n"
      "Exit status 0, or 2 with a one-line message on a bad option, a file that\n"
      "cannot be read, an input with nothing to grid, or output that cannot be written.\n";

using meshscope::TiltRemoval;
using meshscope::ZeroAt;

// The options that work on the drawn surface: its levelling and its units.
void readSurfaceOptions(const usage::Arguments& arguments, Options& options)
{
    if (options.raw) {
        for (const char* name : {"stats", "level", "zero"})
            if (arguments.isSet(name))
                throw usage::BadCommandLine(std::string("--raw and --") + name
                                            + " cannot be combined (they work on the drawn surface)");
    }
    if (arguments.isSet("level")) {
        const std::string value = arguments.value("level");
        if (value != "none" && value != "plane")
            throw usage::BadCommandLine("bad --level value \"" + value + "\" (use none or plane)");
        options.levelling.tilt = value == "plane" ? TiltRemoval::BestFitPlane : TiltRemoval::None;
    }
    if (arguments.isSet("zero")) {
        const std::string value = arguments.value("zero");
        if (value != "none" && value != "min" && value != "mean")
            throw usage::BadCommandLine("bad --zero value \"" + value + "\" (use none, min or mean)");
        options.levelling.zero = value == "min" ? ZeroAt::Minimum : value == "mean" ? ZeroAt::Mean : ZeroAt::None;
    }
    if (arguments.isSet("grid-step")) {
        const auto step = meshscope::readGridStep(arguments.value("grid-step"));
        if (!step.quantity)
            throw usage::BadCommandLine(step.error);
        options.units.gridStep = step.quantity;
    }
    if (arguments.isSet("height-unit")) {
        const auto unit = meshscope::readHeightUnit(arguments.value("height-unit"));
        if (!unit.quantity)
            throw usage::BadCommandLine(unit.error);
        options.units.heightUnit = unit.quantity;
    }
}

} // namespace

std::optional<int> readOptions(int argc, char** argv, Options& options)
{
    try {
        const usage::Arguments arguments(kProgram,
                                         {{"data", true},
                                          {"smooth", true},
                                          {"raw", false},
                                          {"export", true},
                                          {"stats", false},
                                          {"level", true},
                                          {"zero", true},
                                          {"grid-step", true},
                                          {"height-unit", true}},
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
        options.stats = arguments.isSet("stats");
        readSurfaceOptions(arguments, options);
        options.captures = arguments.operands();
        return arguments.answer(kHelp, MESHGRID_VERSION);
    } catch (const usage::BadCommandLine& bad) {
        return usage::failCommandLine(kProgram, bad.what());
    }
}
