// The Vorn executable as a user runs it.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "NoDisplay.h"

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode;
    QString out, err;
};

Outcome runVorn(const QStringList& args)
{
    QProcess vorn;
    vorn.start(QStringLiteral(VORN_EXECUTABLE), args);
    if (!vorn.waitForFinished(60000)) {
        vorn.kill();
        vorn.waitForFinished();
        return {-1, {}, QStringLiteral("Vorn did not finish")};
    }
    return {vorn.exitStatus() == QProcess::NormalExit ? vorn.exitCode() : -1,
            QString::fromLocal8Bit(vorn.readAllStandardOutput()), QString::fromLocal8Bit(vorn.readAllStandardError())};
}

TEST(VornProgram, VersionHelpAndBadOptions)
{
    const Outcome version = runVorn({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Vorn 1.00.0002\n");

    const Outcome help = runVorn({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--screenshot")) << help.out.toStdString();

    EXPECT_EQ(runVorn({"-v"}).out, version.out);
    EXPECT_EQ(runVorn({"-h"}).out, help.out);
    EXPECT_TRUE(help.out.startsWith("Usage: Vorn [options]\n")) << help.out.toStdString();

    // Unknown options, stray arguments and a screenshot of no known format.
    for (const QStringList& args : {QStringList{"--colour"}, QStringList{"extra"}, QStringList{"--screenshot"},
                                    QStringList{"--screenshot", "vorn.bmp"}}) {
        const Outcome bad = runVorn(args);
        EXPECT_EQ(bad.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(bad.err.startsWith("Vorn: ")) << bad.err.toStdString();
        EXPECT_EQ(bad.err.count('\n'), 1) << bad.err.toStdString();
        EXPECT_TRUE(bad.out.isEmpty()) << bad.out.toStdString();
    }
}

TEST(VornProgram, WithoutAnXDisplayOrOpenGlOneLineSaysWhatToDo)
{
    for (const auto& [name, environment] : noDisplayEnvironments()) {
        const StartOutcome run = startIn(QStringLiteral(VORN_EXECUTABLE), {}, environment);
        EXPECT_FALSE(run.crashed) << name.toStdString();
        EXPECT_EQ(run.exitCode, 1) << name.toStdString();
        EXPECT_TRUE(run.err.startsWith("Vorn: ")) << name.toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << name.toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("xvfb-run")) << name.toStdString() << ": " << run.err.toStdString();

        const StartOutcome version = startIn(QStringLiteral(VORN_EXECUTABLE), {"--version"}, environment);
        EXPECT_EQ(version.exitCode, 0) << name.toStdString();
        EXPECT_EQ(version.out, "Vorn 1.00.0002\n") << name.toStdString();
    }
    // An X display without usable OpenGL: one line that fits the case, exit 1.
    for (const GlLessDisplay& display : glLessDisplays()) {
        const std::string name = display.name.toStdString();
        const StartOutcome run = startIn(QStringLiteral(VORN_EXECUTABLE), {}, display.environment, 10000);
        EXPECT_FALSE(run.crashed) << name << ": still running after 10 s";
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_TRUE(run.err.startsWith("Vorn: ")) << name << ": " << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(display.advice)) << name << ": " << run.err.toStdString();
    }
}

TEST(VornProgram, ScreenshotWritesTheWholeWindow)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("vorn.png");
    const Outcome run = runVorn({"--screenshot", file});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage image(file);
    ASSERT_FALSE(image.isNull());
    // The design client area is 8430 x 6840 twips, 562 x 456 pixels at 96 DPI.
    EXPECT_EQ(image.size(), QSize(562, 456));
    // Top left corner is the window's dark blue; the banner begins right after.
    EXPECT_EQ(image.pixelColor(2, 2), QColor(1, 0, 66));
    EXPECT_EQ(image.pixelColor(20, 12), QColor(128, 128, 0));

    // A .jpg name gets JPEG bytes.
    const QString jpeg = dir.filePath("vorn.jpg");
    ASSERT_EQ(runVorn({"--screenshot", jpeg}).exitCode, 0);
    QFile written(jpeg);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(3) == QByteArray("\xFF\xD8\xFF")) << "not a JPEG file";
    EXPECT_EQ(QImage(jpeg).size(), QSize(562, 456));
}

TEST(VornProgram, UnwritableScreenshotIsReported)
{
    const Outcome run = runVorn({"--screenshot", "/nonexistent/dir/vorn.png"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Vorn: cannot write the screenshot /nonexistent/dir/vorn.png"))
        << run.err.toStdString();
}

} // namespace
