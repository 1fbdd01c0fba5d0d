// meshgrid run as a process on small captures and data files.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

    // Runs meshgrid with the arguments (already quoted) and optional stdin file.
    Outcome run(const std::string& arguments, const std::string& stdinPath = "/dev/null")
    {
        const auto out = dir / "stdout", err = dir / "stderr";
        const std::string command = std::string("'") + MESHGRID_PATH + "' " + arguments + " <'" + stdinPath +
                                    "' >'" + out.string() + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        Outcome result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = slurp(out);
        result.err = slurp(err);
        return result;
    }

    static int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }
    static bool hasLine(const std::string& text, const std::string& line)
    {
        return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
    }
};

const std::string kReference = "<66,66,70; 100,100,10; 1,66,10; 100,33,10; 66,100,10>";

TEST_F(Meshgrid, CaptureOfTheReferenceFrame)
{
    const Outcome result = run("--smooth 1 '" + write("capture.txt", kReference) + "'");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(lineCount(result.out), 99 * 99);  // drawn range 1..99 at width 1
    EXPECT_TRUE(result.out.starts_with("1 1 22\n"));
    EXPECT_TRUE(hasLine(result.out, "50 50 46"));
    EXPECT_TRUE(hasLine(result.out, "66 66 70"));
    // Taken once as it arrives and once more at the quiet tick after it.
    EXPECT_EQ(result.err, "accepted 2, reference 2\n");
}

TEST_F(Meshgrid, EveryFrameOfAStreamIsTakenInTurn)
{
    const std::string capture = "<1,1,5;3,3,7>\r\n<2,2,9;4,4,8>\r\nnoise " + kReference + "<9,9,9;";
    const Outcome result = run("", write("capture.txt", capture));
    EXPECT_EQ(result.status, 0);
    // Each tick takes the frame the previous tick left first in the buffer:
    // the first frame twice, then the second and the reference once each.
    // The open frame at the end is never taken.
    EXPECT_EQ(result.err, "accepted 4, reference 1\n");
    EXPECT_TRUE(hasLine(result.out, "66 66 70"));
}

TEST_F(Meshgrid, SeveralCapturesFormOneStream)
{
    const Outcome result = run("'" + write("a.txt", "<66,66,70; 100,100,10; 1,66,10; ") + "' '" +
                           write("b.txt", "100,33,10; 66,100,10>") + "'");
    EXPECT_EQ(result.err, "accepted 2, reference 2\n");
    EXPECT_EQ(lineCount(result.out), 98 * 98);
}

TEST_F(Meshgrid, DataFileSmoothedAndRaw)
{
    const std::string data = write("datafile.dat", "1 1 5\n3 2 7\n2 4 1\n");
    const Outcome smoothed = run("--data '" + data + "'");
    EXPECT_EQ(smoothed.status, 0);
    EXPECT_EQ(smoothed.out, "1 1 1.25\n1 2 0\n");
    EXPECT_EQ(smoothed.err, "accepted 0, reference 0\n");

    const Outcome raw = run("--raw --data '" + data + "'");
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

TEST_F(Meshgrid, WithoutDataTheStartGridIsWritten)
{
    // Nothing has smoothed yet, so the drawn range is still the single start cell.
    for (const std::string arguments : {"", "--smooth 9"}) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "0 0 0\n");
        EXPECT_EQ(result.err, "accepted 0, reference 0\n");
    }
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

TEST_F(Meshgrid, BadUseFailsWithOneLine)
{
    for (const std::string arguments : {"--smooth 0", "--smooth", "--bogus", "--data '/nonexistent/d.dat'",
                                        "'/nonexistent/capture.txt'"}) {
        SCOPED_TRACE(arguments);
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.out.empty());
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
        EXPECT_TRUE(result.err.starts_with("meshgrid: ")) << result.err;
    }
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
}

}  // namespace
