// meshscope: the live surface viewer, fed by a serial port or a network
// source. Built twice, differing only in the default serial port
// (MESHSCOPE_COMM_PORT).

#include "frmVimo.h"
#include "Options.h"
#include "ProgramStart.h"
#include "Screenshot.h"
#include "StopSignals.h"

#include <QApplication>
#include <QTimer>
#include <QFile>

#include <csignal>

#ifndef MESHSCOPE_COMM_PORT
#define MESHSCOPE_COMM_PORT 2
#endif

int main(int argc, char* argv[])
{
    const meshscope::Build build{MESHSCOPE_PROGRAM_NAME, MESHSCOPE_VERSION, MESHSCOPE_COMM_PORT};
    meshscope::Options options;
    if (const auto status = meshscope::readOptions(build, argc, argv, options))
        return *status;

    const QString program = QString::fromLatin1(build.program);
    const QString displayProblem = vorn::chooseDisplayPlatform(argc, argv);
    if (!displayProblem.isEmpty()) {
        vorn::reportLine(program, displayProblem);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(program);
    QApplication::setApplicationVersion(QString::fromLatin1(build.version));
    vorn::nameProgram(program, QStringLiteral(":/icons/meshscope.svg"));

    // A stop signal ends the program as closing the window does.
    int stoppedBy = 0;
    meshscope::frmVimo* shown = nullptr;
    const meshscope::StopSignals stopSignals([&](int signal) {
        stoppedBy = signal;
        if (shown)
            shown->close();
        QCoreApplication::quit();
    });

    meshscope::frmVimo window(build.commPort, options.port);
    shown = &window;
    window.session().inputLine().setBaudRate(options.baud);
    window.session().inputLine().setCaFile(options.caFile);
    if (options.replay)
        window.session().inputLine().playCapture(*options.replay, options.replayRate);
    if (options.recordFile) {
        // A recording pipe whose reader has gone then fails with EPIPE, which
        // stops the recording, instead of ending the viewer.
        std::signal(SIGPIPE, SIG_IGN);
        window.recordTo(*options.recordFile);
    }
    window.session().state().dataFile = QFile::encodeName(options.dataFile).toStdString();
    window.setLive(options.live);
    window.setSaveDir(options.saveDir);
    window.load();
    window.show();
    // Once the window is up, as the menu would, so the scale's box takes its
    // place above the view's native window.
    QTimer::singleShot(0, &window, [&window, &options] {
        window.setScaleShown(options.scale);
        window.setSamplesShown(options.samples);
        window.setUnits(options.units);
        window.setLevelling(options.levelling);
        window.setStatisticsShown(options.stats);
        window.setTrendShown(options.trend);
        window.setColoursFitted(options.fitted);
    });

    if (options.screenshot)
        meshscope::takeScreenshotWhenShown(window, *options.screenshot, options.screenshotDelayMs,
                                           !options.port.isEmpty() || options.replay.has_value());
    const int status = app.exec();
    // As a shell reports a program the signal ended: 128 + its number.
    return stoppedBy != 0 ? 128 + stoppedBy : status;
}
