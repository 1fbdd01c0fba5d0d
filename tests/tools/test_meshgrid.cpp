// meshgrid run as a process on small captures and data files.
#include <gtest/gtest.h>

#include "Sanitizer.h"
#include "SerialInput.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class Meshgrid : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("meshgrid-test-" + std::to_string(::getpid()));

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& content)
    {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    static std::string slurp(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    // Runs meshgrid with the arguments (already quoted) and optional stdin
    // and stdout files.
    Outcome run(const std::string& arguments, const std::string& stdinPath = "/dev/null", std::string stdoutPath = {})
    {
        const auto out = dir / "stdout", err = dir / "stderr";
        if (stdoutPath.empty())
            stdoutPath = out.string();
        const std::string command = std::string("'") + MESHGRID_PATH + "' " + arguments + " <'" + stdinPath + "' >'"
            + stdoutPath + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        Outcome result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = stdoutPath == out.string() ? slurp(out) : "";
        result.err = slurp(err);
        return result;
    }

    static int lineCount(const std::string& text)
    {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    static bool hasLine(const std::string& text, const std::string& line)
    {
        return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
    }
};

const std::string kReference(meshscope::kReferenceFrame);

TEST_F(Meshgrid, CaptureOfTheReferenceFrame)
{
    const Outcome result = run("--smooth 1 '" + write("capture.txt", kReference) + "'");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(lineCount(result.out), 99 * 99); // drawn range 1..99 at width 1
    EXPECT_TRUE(result.out.starts_with("1 1 22\n"));
    EXPECT_TRUE(hasLine(result.out, "50 50 46"));
    EXPECT_TRUE(hasLine(result.out, "66 66 70"));
    // Taken once as it arrives and once more at the quiet tick after it.
    EXPECT_EQ(result.err, "accepted 2, reference 2; frames in the stream 1\n");
}

TEST_F(Meshgrid, EveryFrameOfAStreamIsTakenInTurn)
{
    const std::string capture = "<1,1,5;3,3,7>\r\n<2,2,9;4,4,8>\r\nnoise " + kReference + "<9,9,9;";
    const Outcome result = run("", write("capture.txt", capture));
    EXPECT_EQ(result.status, 0);
    // Each tick takes the frame the previous tick left first in the buffer:
    // the first frame twice, then the second and the reference once each.
    // The open frame at the end is never taken.
    EXPECT_EQ(result.err, "accepted 4, reference 1; frames in the stream 3\n");
    EXPECT_TRUE(hasLine(result.out, "66 66 70"));
}

TEST_F(Meshgrid, SeveralCapturesFormOneStream)
{
    // "-" is standard input, here the second half of the frame.
    const Outcome result = run("'" + write("a.txt", "<66,66,70; 100,100,10; 1,66,10; ") + "' -",
                               write("b.txt", "100,33,10; 66,100,10>"));
    EXPECT_EQ(result.err, "accepted 2, reference 2; frames in the stream 1\n");
    EXPECT_EQ(lineCount(result.out), 98 * 98);
}

TEST_F(Meshgrid, DataFileSmoothedAndRaw)
{
    const std::string data = write("datafile.dat", "1 1 5\n3 2 7\n2 4 1\n");
    const Outcome smoothed = run("--data '" + data + "'");
    EXPECT_EQ(smoothed.status, 0);
    EXPECT_EQ(smoothed.out, "1 1 1.25\n1 2 0\n");
    EXPECT_EQ(smoothed.err, "accepted 0, reference 0; frames in the stream 0\n");

    const Outcome raw = run("--raw --data='" + data + "'");
    EXPECT_EQ(lineCount(raw.out), 3 * 4);
    EXPECT_TRUE(hasLine(raw.out, "3 2 7"));
    EXPECT_TRUE(hasLine(raw.out, "2 4 1"));
}

TEST_F(Meshgrid, HeightsAreWrittenAsShortestSingles)
{
    const Outcome result = run("--smooth 1 --raw --data '" + write("d.dat", "0 0 0.1\n1 1 -1e-7\n") + "'");
    EXPECT_TRUE(hasLine(result.out, "0 0 0.1")) << result.out;
    EXPECT_TRUE(hasLine(result.out, "1 1 -1e-07")) << result.out;
}

TEST_F(Meshgrid, SmoothingWidthComesFromTheDigit)
{
    const Outcome result = run("--smooth 9 '" + write("capture.txt", kReference) + "'");
    EXPECT_EQ(lineCount(result.out), 83 * 83);
}

TEST_F(Meshgrid, BadLinesAreReportedButTheRestIsUsed)
{
    const Outcome result = run("--raw --data '" + write("d.dat", "1 1 5\n2 2\n3 3 3\n") + "'");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(hasLine(result.out, "3 3 3"));
    EXPECT_NE(result.err.find("skipped 1 line"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("line 2"), std::string::npos) << result.err;
}

// A tilted plane over columns and rows 1..6 with a bump of 12 at (3, 3): at
// width 1 the drawn surface is its cells 1..5, unsmoothed, so its numbers are
// worked out by hand; levelled, only the bump stands out.
TEST_F(Meshgrid, StatisticsAndLevellingOfTheDrawnSurface)
{
    std::string samples;
    for (int x = 1; x <= 6; ++x)
        for (int y = 1; y <= 6; ++y)
            samples += std::to_string(x) + ' ' + std::to_string(y) + ' '
                + std::to_string(100 + 2 * x - 3 * y + (x == 3 && y == 3 ? 12 : 0)) + '\n';
    const std::string data = "--smooth 1 --data '" + write("tilted.dat", samples) + "' ";
    // Each "name value unit" line's value in the unit base, its prefix
    // ("µm" of "m") taken into it; NaN in another unit.
    const auto numbers = [](const std::string& text, const std::string& base) {
        const std::map<std::string, double> prefixes{{"", 1}, {"n", 1e-9}, {"\xC2\xB5", 1e-6}, {"m", 1e-3}, {"k", 1e3}};
        std::map<std::string, double> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string name, unit;
            double value = 0;
            words >> name >> value;
            std::getline(words >> std::ws, unit);
            const std::string prefix = unit.ends_with(base) ? unit.substr(0, unit.size() - base.size()) : "?";
            lines[name] = value * (prefixes.contains(prefix) ? prefixes.at(prefix) : NAN);
        }
        return lines;
    };

    const Outcome plain = run(data + "--stats");
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "accepted 0, reference 0; frames in the stream 0\n");
    EXPECT_TRUE(plain.out.starts_with("min 87\nmax 109\nrange 22\nmean 97.48\nSq 5.61512\nSa 4.7008\n")) << plain.out;
    EXPECT_TRUE(hasLine(plain.out, "min_cell 1 5")) << plain.out;
    EXPECT_TRUE(hasLine(plain.out, "max_cell 3 3")) << plain.out;
    EXPECT_TRUE(hasLine(plain.out, "cells 25")) << plain.out;
    EXPECT_TRUE(hasLine(plain.out, "points 0")) << plain.out;

    // The plane taken away and the zero at the lowest: 0 but the bump.
    const Outcome levelledGrid = run(data + "--level plane --zero min");
    ASSERT_EQ(levelledGrid.status, 0) << levelledGrid.err;
    EXPECT_EQ(lineCount(levelledGrid.out), 25);
    std::istringstream grid(levelledGrid.out);
    for (int x = 0, y = 0; grid >> x >> y;) {
        double z = 0;
        grid >> z;
        EXPECT_NEAR(z, x == 3 && y == 3 ? 12 : 0, 1e-5) << x << ' ' << y;
    }
    const Outcome inUnits = run(data + "--stats --level plane --zero min --grid-step 0.5mm --height-unit 10um");
    EXPECT_TRUE(hasLine(inUnits.out, "range 120 \xC2\xB5m")) << inUnits.out;
    EXPECT_TRUE(hasLine(inUnits.out, "min 0 \xC2\xB5m")) << inUnits.out;
    const auto levelled = numbers(inUnits.out, "m");
    EXPECT_NEAR(levelled.at("mean"), 4.8e-6, 1e-11); // 12 / 25 units of 10 µm
    EXPECT_NEAR(levelled.at("Sq"), 23.5151e-6, 1e-10);
    EXPECT_NEAR(levelled.at("Sa"), 9.216e-6, 1e-10);
    const Outcome atMean = run(data + "--stats --zero mean --height-unit 0.1kPa");
    EXPECT_TRUE(hasLine(atMean.out, "mean 0 kPa")) << atMean.out; // no trace of rounding
    EXPECT_NEAR(numbers(atMean.out, "Pa").at("max"), (109 - 97.48) * 100, 1e-2);

    // A frame's own points, before interpolation, in the height unit.
    const Outcome frame = run("--stats --height-unit 0.01mm '" + write("capture.txt", kReference) + "'");
    EXPECT_TRUE(frame.out.ends_with("points 5\npoints_min 100 \xC2\xB5m\npoints_max 700 \xC2\xB5m\n")) << frame.out;
}

// Bad options, inputs that cannot be read or hold nothing to grid, and output
// that cannot be written: one line, exit status 2, no grid.
TEST_F(Meshgrid, BadUseFailsWithOneLine)
{
    const std::string capture = write("capture.txt", kReference);
    const struct {
        std::string arguments;
        std::string said;
        std::string stdoutPath;
    } cases[] = {
        {"--smooth 0", "bad --smooth value", ""},
        {"--smooth", "--smooth needs a value", ""},
        {"--bogus", "unknown option '--bogus' (see meshgrid --help)", ""},
        {"-h --bogus", "unknown option '--bogus' (see meshgrid --help)", ""},
        {"'--bo\ngus'", "unknown option '--bo gus' (see meshgrid --help)", ""},
        {"--raw --raw '" + capture + "'", "--raw is given twice (give it once)", ""},
        {"--smooth 2 --smooth 9 '" + capture + "'", "--smooth is given twice (give it once)", ""},
        {"--data '/nonexistent/d.dat'", "cannot open /nonexistent/d.dat: No such file", ""},
        {"'/nonexistent/capture.txt'",
         "cannot open /nonexistent/capture.txt: No such file or directory (check the path)", ""},
        {"'" + dir.string() + "'", "cannot read " + dir.string() + ": it is a directory", ""},
        {"", "the input is empty and no --data file was given", ""},
        {"--smooth 9 -", "the input is empty", ""},
        {"'" + write("noise.txt", "<1,2>noise") + "'", "no frame of the input was accepted", ""},
        {"--data '" + write("empty.dat", "") + "' /dev/null", "no grid to write: ", ""},
        {"'" + capture + "'", "cannot write the grid to standard output: No space left on device", "/dev/full"},
        {"--raw --export s.stl '" + capture + "'", "--raw and --export cannot be combined", ""},
        {"--export '" + (dir / "missing" / "s.stl").string() + "' '" + capture + "'",
         "cannot export the surface to " + (dir / "missing" / "s.stl").string() + ": No such file or directory", ""},
        {"--export '" + (dir / "s.obj").string() + "' '" + capture + "'",
         "cannot export the surface to " + (dir / "s.obj").string() + ": unknown file type", ""},
        {"--raw --stats '" + capture + "'", "--raw and --stats cannot be combined", ""},
        {"--raw --zero min '" + capture + "'", "--raw and --zero cannot be combined", ""},
        {"--level tilt '" + capture + "'", "bad --level value \"tilt\" (use none or plane)", ""},
        {"--zero max '" + capture + "'", "bad --zero value \"max\" (use none, min or mean)", ""},
        {"--grid-step 2kPa '" + capture + "'", "bad --grid-step value \"2kPa\" (give the distance", ""},
        {"--grid-step 0mm '" + capture + "'", "bad --grid-step value \"0mm\"", ""},
        {"'--grid-step=1\nmm' '" + capture + "'", "bad --grid-step value \"1 mm\"", ""},
        {"--height-unit 10 '" + capture + "'", "bad --height-unit value \"10\" (give what one height unit is", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome result = run(c.arguments, "/dev/null", c.stdoutPath);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.out.empty());
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
        EXPECT_TRUE(result.err.starts_with("meshgrid: " + c.said)) << result.err;
    }
}

// The exports as other programs read them: admesh checks the STL solid,
// Python's standard library reads the PLY and the CSV back to meshgrid's
// heights, and Gwyddion converts the Gwyddion Simple Fields to its own format,
// read back here: the size, real extent, units and heights it took are ours.
TEST_F(Meshgrid, ExportsAreReadByRealReaders)
{
    std::string frames;
    for (int n = 0; n < 12; ++n)
        frames += "<" + std::to_string(10 + n) + ",20," + std::to_string(n) + "; 70," + std::to_string(30 + 3 * n)
            + ",40.5; 50,90,-7; 25,60,15>\r\n";
    const std::string capture = write("capture.txt", frames);
    const Outcome grid = run("--smooth 2 '" + capture + "'");
    ASSERT_EQ(grid.status, 0);
    write("grid.txt", grid.out);
    const std::string units = "--grid-step 0.5mm --height-unit 10um";
    const std::pair<const char*, std::string> exports[]
        = {{"s.stl", ""},     {"s.ply", ""},     {"s.csv", ""},    {"s.gsf", ""},
           {"mm.ply", units}, {"mm.csv", units}, {"m.gsf", units}, {"pa.gsf", "--height-unit 0.1kPa"}};
    for (const auto& [name, options] : exports) {
        std::string arguments = "--smooth 2 " + options;
        arguments += " --export '" + (dir / name).string() + "' '" + capture + "'";
        const Outcome exported = run(arguments);
        ASSERT_EQ(exported.status, 0) << exported.err;
        EXPECT_TRUE(exported.out.empty());
        EXPECT_EQ(exported.err, grid.err);
    }
    for (const char* field : {"s", "m", "pa"}) {
        const std::string command = "cd '" + dir.string() + "' && HOME='" + dir.string()
            + "' gwyddion --convert-to-gwy=" + field + ".gwy " + field + ".gsf >gwyddion.txt 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << slurp(dir / "gwyddion.txt");
    }

    const auto admeshOut = dir / "admesh.txt";
    ASSERT_EQ(std::system(("admesh '" + (dir / "s.stl").string() + "' >'" + admeshOut.string() + "' 2>&1").c_str()), 0);
    const std::string report = slurp(admeshOut);
    const auto figure = [&report](const std::string& label) {
        const std::size_t at = report.find(label);
        return at == std::string::npos ? std::string("(missing)") : report.substr(at + label.size(), 24);
    };
    EXPECT_EQ(std::stoi(figure("Number of parts       :")), 1) << report;
    EXPECT_EQ(std::stoi(figure("Total disconnected facets        :")), 0) << report;
    EXPECT_EQ(std::stoi(figure("Facets reversed       :")), 0) << report;
    EXPECT_EQ(std::stoi(figure("Backwards edges       :")), 0) << report;
    EXPECT_EQ(std::stoi(figure("Normals fixed         :")), 0) << report;
    EXPECT_GT(std::stod(figure("Volume   :")), 0) << report;

    // Every "x y z" line of meshgrid is a top vertex of the PLY (the highest at
    // its x and y) and a row of the CSV, the same numbers.
    write("check.py", R"py(import csv, struct, sys
grid = {}
for line in open(sys.argv[1]):
    x, y, z = line.split()
    grid[(float(x), float(y))] = float(z)
# The top vertices of a PLY (the highest at each x and y) and its header's comments.
def ply_top(path):
    with open(path) as ply:
        assert ply.readline().split() == ["ply"] and ply.readline().split() == ["format", "ascii", "1.0"]
        vertices = faces = None
        comments = []
        for line in ply:
            words = line.split()
            if words[:1] == ["comment"]: comments.append(line[8:].strip())
            if words[:2] == ["element", "vertex"]: vertices = int(words[2])
            if words[:2] == ["element", "face"]: faces = int(words[2])
            if words == ["end_header"]: break
        top = {}
        for _ in range(vertices):
            x, y, z = map(float, ply.readline().split())
            top[(x, y)] = max(z, top.get((x, y), z))
        assert all(ply.readline().split()[0] == "3" for _ in range(faces)), "faces are triangles"
    return top, comments
top, _ = ply_top(sys.argv[2])
with open(sys.argv[3], newline="") as table:
    rows = {(float(r["x"]), float(r["y"])): float(r["z"]) for r in csv.DictReader(table)}
assert top == grid, "PLY heights differ from meshgrid's"
assert rows == grid, "CSV heights differ from meshgrid's"

# In units: the PLY in millimetres, the CSV in the units its header names.
def close(a, b): return abs(a - b) <= 1e-6 * max(1, abs(b))
top, comments = ply_top(sys.argv[4])
assert comments == ["meshscope surface: x, y and z in millimetres"], comments
assert len(top) == len(grid)
for (x, y), z in grid.items():
    assert close(top[(x * 0.5, y * 0.5)], z * 0.01), (x, y)
with open(sys.argv[5], newline="", encoding="utf-8") as table:
    reader = csv.reader(table)
    assert next(reader) == ["x (mm)", "y (mm)", "z (\u00b5m)"]
    rows = {(float(x), float(y)): float(z) for x, y, z in reader}
assert len(rows) == len(grid)
for (x, y), z in grid.items():
    assert close(rows[(x * 0.5, y * 0.5)], z * 10), (x, y)

# Gwyddion's own file: "GWYP", then objects of named, typed components.
def gwy(path):
    data = open(path, "rb").read()
    assert data[:4] == b"GWYP"
    def name(at):
        end = data.index(b"\0", at)
        return data[at:end].decode(), end + 1
    def obj(at):
        _, at = name(at)
        size, = struct.unpack_from("<I", data, at)
        at += 4
        end, fields = at + size, {}
        while at < end:
            key, at = name(at)
            kind = chr(data[at]); at += 1
            if kind in "bc": fields[key] = data[at]; at += 1
            elif kind == "i": fields[key], = struct.unpack_from("<i", data, at); at += 4
            elif kind == "d": fields[key], = struct.unpack_from("<d", data, at); at += 8
            elif kind == "q": fields[key], = struct.unpack_from("<q", data, at); at += 8
            elif kind == "s": fields[key], at = name(at)
            elif kind == "o": fields[key], at = obj(at)
            elif kind == "D":
                n, = struct.unpack_from("<I", data, at)
                fields[key] = struct.unpack_from("<%dd" % n, data, at + 4); at += 4 + 8 * n
            elif kind == "S":
                n, = struct.unpack_from("<I", data, at); at += 4
                fields[key] = []
                for _ in range(n):
                    text, at = name(at); fields[key].append(text)
            else: raise ValueError("component type " + kind)
        return fields, end
    return obj(4)[0]["/0/data"]
xs = sorted({x for x, _ in grid}); ys = sorted({y for _, y in grid})
for path, step, z_scale, xy_unit, z_unit in ((sys.argv[6], 1, 1, None, None), (sys.argv[7], 0.5e-3, 1e-5, "m", "m"),
                                              (sys.argv[8], 1, 100, None, "Pa")):
    field = gwy(path)
    assert (field["xres"], field["yres"]) == (len(xs), len(ys)), path
    assert close(field["xreal"], len(xs) * step) and close(field["yreal"], len(ys) * step), path
    assert close(field.get("xoff", 0), xs[0] * step) and close(field.get("yoff", 0), ys[0] * step), path
    for key, unit in (("si_unit_xy", xy_unit), ("si_unit_z", z_unit)):
        assert ((field.get(key) or {}).get("unitstr") or None) == unit, (path, key, field.get(key))
    # Row by row from the first row, each from the first column, as 32-bit floats.
    for row, y in enumerate(ys):
        for column, x in enumerate(xs):
            expected = struct.unpack("<f", struct.pack("<f", grid[(x, y)] * z_scale))[0]
            assert close(field["data"][row * len(xs) + column], expected), (path, x, y)
print(len(grid))
)py");
    const auto checked = dir / "checked.txt";
    std::string command = "python3 '" + (dir / "check.py").string() + "' '" + (dir / "grid.txt").string() + "'";
    for (const char* name : {"s.ply", "s.csv", "mm.ply", "mm.csv", "s.gwy", "m.gwy", "pa.gwy"})
        command += " '" + (dir / name).string() + "'";
    command += " >'" + checked.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << slurp(checked);
    EXPECT_EQ(slurp(checked), std::to_string(97 * 97) + "\n"); // width 3: nodes 1..97
}

// 200 MB of ">" between two frames: read as it comes, in bounded memory, with
// the frame after it still taken. The peak is the child's own, from wait4.
TEST_F(Meshgrid, LongStreamIsReadInBoundedMemory)
{
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::close(input[0]);
        ::close(input[1]);
        const int out = ::open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execl(MESHGRID_PATH, MESHGRID_PATH, "-", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(input[0]);
    const auto send = [&](const std::string& text) {
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(input[1], text.data() + done, text.size() - done);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    const std::string closes(1 << 20, '>');
    bool sent = send("<1,1,5;3,3,7>");
    for (int mb = 0; mb < 200 && sent; ++mb)
        sent = send(closes);
    sent = sent && send(kReference);
    ::close(input[1]);
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    const std::string said = slurp(dir / "stderr");

    std::printf("meshgrid over 200 MB of \">\": peak resident %ld kB\n", usage.ru_maxrss);
    EXPECT_TRUE(sent);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << said;
    if (!kAddressSanitizer) {
        EXPECT_LT(usage.ru_maxrss, 100 * 1024);
    }
    // The buffer re-takes the first frame until 64 KiB of ">" pass its bound.
    // The reference frame then lands behind the ">" still held, which cut it
    // short, and is taken once at the quiet tick.
    EXPECT_NE(said.find(", reference 1; frames in the stream 2\n"), std::string::npos) << said;
    EXPECT_TRUE(hasLine(slurp(dir / "stdout"), "66 66 70"));
}

TEST_F(Meshgrid, HelpAndVersionAnswerWithoutReadingTheStream)
{
    const Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--smooth D"), std::string::npos) << help.out;
    EXPECT_TRUE(help.err.empty()) << help.err;

    const Outcome version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("meshgrid ")) << version.out;
    EXPECT_EQ(lineCount(version.out), 1);
    EXPECT_EQ(run("-v").out, version.out);
    EXPECT_EQ(run("-h").out, help.out);
}

} // namespace
