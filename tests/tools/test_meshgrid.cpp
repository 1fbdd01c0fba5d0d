// meshgrid run as a process on small captures and data files.
#include <gtest/gtest.h>

#include "Sanitizer.h"
#include "SerialInput.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

// The exports as other programs read them: admesh checks the STL solid, and
// Python's standard library reads the PLY and the CSV back to meshgrid's heights.
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
    for (const char* name : {"s.stl", "s.ply", "s.csv"}) {
        const Outcome exported = run("--smooth 2 --export '" + (dir / name).string() + "' '" + capture + "'");
        ASSERT_EQ(exported.status, 0) << exported.err;
        EXPECT_TRUE(exported.out.empty());
        EXPECT_EQ(exported.err, grid.err);
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
    write("check.py", R"(import csv, sys
grid = {}
for line in open(sys.argv[1]):
    x, y, z = line.split()
    grid[(float(x), float(y))] = float(z)
with open(sys.argv[2]) as ply:
    assert ply.readline().split() == ["ply"] and ply.readline().split() == ["format", "ascii", "1.0"]
    vertices = faces = None
    for line in ply:
        words = line.split()
        if words[:2] == ["element", "vertex"]: vertices = int(words[2])
        if words[:2] == ["element", "face"]: faces = int(words[2])
        if words == ["end_header"]: break
    top = {}
    for _ in range(vertices):
        x, y, z = map(float, ply.readline().split())
        top[(x, y)] = max(z, top.get((x, y), z))
    assert all(ply.readline().split()[0] == "3" for _ in range(faces)), "faces are triangles"
with open(sys.argv[3], newline="") as table:
    rows = {(float(r["x"]), float(r["y"])): float(r["z"]) for r in csv.DictReader(table)}
assert top == grid, "PLY heights differ from meshgrid's"
assert rows == grid, "CSV heights differ from meshgrid's"
print(len(grid))
)");
    const auto checked = dir / "checked.txt";
    const std::string command = "python3 '" + (dir / "check.py").string() + "' '" + (dir / "grid.txt").string() + "' '"
        + (dir / "s.ply").string() + "' '" + (dir / "s.csv").string() + "' >'" + checked.string() + "' 2>&1";
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
