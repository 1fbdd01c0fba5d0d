// The meshscope window reading damaged data files on the key "f": the grid
// changes by the good lines only, problems are summed up in one line on
// standard error, and nothing crashes.

#include "HardeningSupport.h"

#include <QDir>

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <random>
#include <tuple>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace hardening;
using meshscope::frmVimo;
using meshscope::HeightGrid;

namespace {

using namespace std::string_literals;
using Cells = std::map<std::pair<int, int>, float>;

// One window for all cases: each case checks what its file changed.
class DataFileFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        app();
        scratch = new ScratchDir(smallHillFile());
        window = openWindow<frmVimo>("/nonexistent/meshscope-no-port").release();
    }
    static void TearDownTestSuite()
    {
        delete window;
        delete scratch;
    }

    // Presses "f" over a datafile.dat with content; returns what went to stderr.
    std::string readFile(const std::string& content)
    {
        scratch->writeDataFile(content);
        return pressF();
    }
    std::string pressF()
    {
        before = std::make_unique<HeightGrid>(window->session().state().rawHeights);
        StderrCapture errors;
        QTest::keyClick(window->viewport(), 'f');
        return errors.text();
    }

    // Cells that changed are exactly those named, with the values named.
    void expectChangedCells(const Cells& cells)
    {
        const HeightGrid& after = window->session().state().rawHeights;
        for (int x = 0; x < meshscope::kGridSize; ++x)
            for (int y = 0; y < meshscope::kGridSize; ++y) {
                const auto named = cells.find({x, y});
                if (named != cells.end())
                    EXPECT_EQ(after[x][y], named->second) << "cell " << x << "," << y;
                else
                    EXPECT_EQ(after[x][y], (*before)[x][y]) << "cell " << x << "," << y << " changed";
            }
    }

    static inline ScratchDir* scratch = nullptr;
    static inline frmVimo* window = nullptr;
    std::unique_ptr<HeightGrid> before;
};

std::string fields(int count, const std::string& first, const std::string& rest)
{
    std::string line = first;
    for (int i = 1; i < count; ++i)
        line += " " + rest;
    return line;
}

TEST_F(DataFileFaults, BinaryNoiseNulBytesAndWideLinesChangeOnlyTheGoodLines)
{
    std::mt19937 random(3);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    struct Case {
        const char* name;
        std::string content;
        Cells good;
    };
    const Case cases[] = {
        {"binary noise", "3 4 7.5\n" + noise + "\n150 160 -2\n", {{{3, 4}, 7.5f}, {{150, 160}, -2.0f}}},
        {"NUL bytes", "5 5 5\0\n\0\0\0\n6\0 6 6\n7 7 7\n\0"s, {{{7, 7}, 7.0f}}},
        {"10 000 fields", fields(10000, "8 9 10", "11") + "\n" + fields(10000, "a", "a") + "\n", {{{8, 9}, 10.0f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string said = readFile(c.content);
        expectChangedCells(c.good);
        EXPECT_EQ(linesWith(said, "meshscope:"), 1) << said;
        EXPECT_EQ(linesWith(said, "meshscope: datafile.dat: skipped"), 1) << said;
    }
}

TEST_F(DataFileFaults, CrLfEndsAreReadAsLines)
{
    const std::string said = readFile("1 2 3\r\n4 5 6.25\r\n200 200 -1\r\n");
    expectChangedCells({{{1, 2}, 3.0f}, {{4, 5}, 6.25f}, {{200, 200}, -1.0f}});
    EXPECT_EQ(said.find("meshscope:"), std::string::npos) << said;
    EXPECT_EQ(window->session().state().maxX, 200);
    EXPECT_EQ(window->session().state().minY, 2);
}

TEST_F(DataFileFaults, EmptyFileAndDirectoryChangeNothing)
{
    readFile("9 9 9\n");
    const auto extent = std::make_tuple(window->session().state().minX, window->session().state().maxX,
                                        window->session().state().minY, window->session().state().maxY);

    std::string said = readFile("");
    expectChangedCells({});
    EXPECT_EQ(said.find("meshscope:"), std::string::npos) << said;

    QFile::remove(QStringLiteral("datafile.dat"));
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("datafile.dat")));
    said = pressF();
    expectChangedCells({});
    EXPECT_EQ(linesWith(said, "meshscope:"), 1) << said;
    EXPECT_EQ(linesWith(said, "datafile.dat"), 1) << said;

    EXPECT_EQ(std::make_tuple(window->session().state().minX, window->session().state().maxX,
                              window->session().state().minY, window->session().state().maxY),
              extent);
}

TEST_F(DataFileFaults, MillionLineFileIsReadWhole)
{
    std::string content;
    content.reserve(14 * 1000000);
    Cells expected;
    for (int i = 0; i < 1000000; ++i) {
        const int x = i % 201, y = (i / 201) % 201, z = i % 997;
        content += std::to_string(x) + ' ' + std::to_string(y) + ' ' + std::to_string(z) + '\n';
        expected[{x, y}] = static_cast<float>(z);
    }
    scratch->writeDataFile(content);
    const std::string said = pressF();

    expectChangedCells(expected);
    EXPECT_EQ(said.find("meshscope:"), std::string::npos) << said;
    EXPECT_EQ(window->session().state().minX, 0);
    EXPECT_EQ(window->session().state().maxY, 200);
}

// A data file that is not a small regular file must neither hold up the
// start nor fill memory: the program starts, draws and says why in one line.
TEST_F(DataFileFaults, FifoDeviceDirectoryAndHugeFileAreRefusedAndTheProgramStarts)
{
    const std::string place = "datafile.dat in " + QDir::currentPath().toStdString();
    struct Case {
        const char* name;
        std::function<bool()> make;
        std::string reason;
    };
    const Case cases[] = {
        {"FIFO", [] { return ::mkfifo("datafile.dat", 0600) == 0; }, "is a FIFO, not a regular file"},
        {"link to /dev/zero", [] { return QFile::link(QStringLiteral("/dev/zero"), QStringLiteral("datafile.dat")); },
         "is a character device, not a regular file"},
        {"directory", [] { return QDir().mkdir(QStringLiteral("datafile.dat")); },
         "is a directory, not a regular file"},
        {"2 GiB sparse file",
         [] {
             QFile file(QStringLiteral("datafile.dat"));
             return file.open(QIODevice::WriteOnly) && file.resize(2ll << 30);
         },
         "is larger than the 256 MiB a data file may hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QStringLiteral("datafile.dat"));
        QDir().rmdir(QStringLiteral("datafile.dat"));
        ASSERT_TRUE(c.make());

        QProcess viewer;
        const QString shot = QDir::current().filePath(QStringLiteral("refused.png"));
        QFile::remove(shot);
        viewer.start(QStringLiteral(MESHSCOPE_PATH),
                     {QStringLiteral("--port"), QStringLiteral("/nonexistent/meshscope-no-port"),
                      QStringLiteral("--screenshot"), shot});
        ASSERT_TRUE(viewer.waitForStarted(10000));
        if (!viewer.waitForFinished(60000)) {
            viewer.kill();
            viewer.waitForFinished(5000);
            ADD_FAILURE() << "meshscope never got past its start";
            continue;
        }
        const std::string said = viewer.readAllStandardError().toStdString();
        EXPECT_EQ(viewer.exitCode(), 0) << said;
        EXPECT_TRUE(QFile::exists(shot)) << said;
        EXPECT_EQ(linesWith(said, "datafile.dat"), 1) << said;
        EXPECT_EQ(linesWith(said, "meshscope: " + place + " " + c.reason + "; not read (use --data FILE"), 1) << said;
    }
    QFile::remove(QStringLiteral("datafile.dat"));
    QDir().rmdir(QStringLiteral("datafile.dat"));
}

// A full disk under Ctrl+S, Ctrl+Shift+S and --screenshot: no partial file,
// one line naming the cause. On a small tmpfs of its own, where mounting is allowed.
TEST_F(DataFileFaults, SavesOntoAFullDiskLeaveNoPartialFileAndNameTheCause)
{
    QTemporaryDir mountPoint;
    const QString dir = mountPoint.path();
    if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=256k", "tmpfs", dir}) != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {"-l", dir}); });
    // Filled to the last byte.
    {
        QFile filler(dir + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    const auto files = [&] { return QDir(dir).entryList(QDir::Files | QDir::Hidden); };

    window->setSaveDir(dir);
    const auto saving = [&](QKeyCombination key, const std::string& what) {
        StderrCapture errors;
        QTest::keyClick(window->viewport(), key.key(), key.keyboardModifiers());
        EXPECT_TRUE(waitFor([&] { return linesWith(errors.text(), "cannot save the " + what) == 1; }, 20000))
            << errors.text();
        const std::string said = errors.text();
        errors.restore();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(linesWith(said, ": No space left on device (choose a writable folder"), 1) << said;
        EXPECT_EQ(files(), QStringList{QStringLiteral("filler")}) << what;
    };
    saving(Qt::ControlModifier | Qt::Key_S, "picture");
    saving(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_S, "grid");
    window->setSaveDir({});

    QProcess viewer;
    viewer.start(QStringLiteral(MESHSCOPE_PATH),
                 {QStringLiteral("--port"), QStringLiteral("/nonexistent/no-port"), QStringLiteral("--screenshot"),
                  dir + QStringLiteral("/shot.png")});
    ASSERT_TRUE(viewer.waitForFinished(60000));
    const std::string said = viewer.readAllStandardError().toStdString();
    EXPECT_EQ(viewer.exitCode(), 1) << said;
    EXPECT_EQ(
        linesWith(said, "cannot write the screenshot " + dir.toStdString() + "/shot.png: No space left on device"), 1)
        << said;
    EXPECT_EQ(linesWith(said, "libpng"), 0) << said;
    EXPECT_EQ(files(), QStringList{QStringLiteral("filler")});
}

} // namespace
