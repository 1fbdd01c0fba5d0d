// meshscope: the live surface viewer. Built twice, differing only in the
// default serial port (MESHSCOPE_COMM_PORT).

#include "CommandLine.h"
#include "frmVimo.h"
#include "MSComm.h"
#include "NetComm.h"
#include "PortList.h"
#include "ProgramStart.h"
#include "Screenshot.h"
#include "StopSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>

#ifndef MESHSCOPE_COMM_PORT
#define MESHSCOPE_COMM_PORT 2
#endif

int main(int argc, char* argv[])
{
    const char* program = MESHSCOPE_PROGRAM_NAME;
    CommandLine commandLine(QString::fromLatin1(program), QStringLiteral(MESHSCOPE_VERSION),
                            QStringLiteral("Live surface viewer: interpolates sample frames from a serial line "
                                           "(default COM%1) or datafile.dat in the working directory and draws "
                                           "them as a lit 3-D surface. The status line counts accepted takes: "
                                           "a complete frame left last is taken again at every 10 ms poll, so a "
                                           "quiet line keeps counting.")
                                .arg(MESHSCOPE_COMM_PORT));
    QCommandLineParser& parser = commandLine.parser();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Read frames from the serial device PATH instead of COM%1 (/dev/ttyS%2); or from the "
                       "network: tcp://HOST:PORT connects to a serial-to-network bridge such as ser2net, "
                       "udp://[ADDRESS]:PORT takes the datagrams sent to that port.")
            .arg(MESHSCOPE_COMM_PORT)
            .arg(MESHSCOPE_COMM_PORT - 1),
        QStringLiteral("PATH"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral(
            "Start as usual, write the window to FILE (.png, .jpg or .jpeg) once a frame is shown, and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption delayOption(
        QStringLiteral("screenshot-delay"),
        QStringLiteral("With --screenshot, let MS milliseconds of live frames pass first (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption recordOption(
        QStringLiteral("record"),
        QStringLiteral("Append every byte read from the serial port to FILE, unchanged and in order, "
                       "including what the space key throws away; meshsim --replay and meshgrid "
                       "take the file back."),
        QStringLiteral("FILE"));
    const QCommandLineOption baudOption(
        QStringLiteral("baud"),
        QStringLiteral("Line speed in bits per second (default %1); 8 data bits, no parity, one stop bit. "
                       "Serial ports only.")
            .arg(MSComm::BaudRate),
        QStringLiteral("N"), QString::number(MSComm::BaudRate));
    const QCommandLineOption listPortsOption(
        QStringLiteral("list-ports"),
        QStringLiteral("Print each serial port found (path, description, maker, serial number) and exit; "
                       "takes no other option."));
    parser.addOption(portOption);
    parser.addOption(baudOption);
    parser.addOption(listPortsOption);
    parser.addOption(recordOption);
    const QCommandLineOption dataOption(
        QStringLiteral("data"),
        QStringLiteral("Read the samples of FILE at start and on the key f (default: %1 in the working directory).")
            .arg(QLatin1String(meshscope::kDataFileName)),
        QStringLiteral("FILE"), QLatin1String(meshscope::kDataFileName));
    parser.addOption(dataOption);
    const QCommandLineOption liveOption(
        QStringLiteral("live"),
        QStringLiteral("Draw each new frame as it arrives, at the pace the drawing allows, instead of at the "
                       "next 250 ms animation tick; a frame taken again unchanged draws nothing."));
    parser.addOption(liveOption);
    const QCommandLineOption saveDirOption(
        QStringLiteral("save-dir"),
        QStringLiteral("Write the pictures (Ctrl+S) and grids (Ctrl+Shift+S) saved from the window to DIR "
                       "(default: the working directory)."),
        QStringLiteral("DIR"));
    parser.addOption(saveDirOption);
    const QCommandLineOption replayOption(
        QStringLiteral("replay"),
        QStringLiteral("Play the capture FILE (a --record file or any byte stream of frames) into the viewer "
                       "instead of reading a port, one frame per 1/N s (--rate), through the same parser and "
                       "rules; the last frame stays at the end. Freeze (Ctrl+Space) and the history slider "
                       "step through it."),
        QStringLiteral("FILE"));
    const QCommandLineOption rateOption(
        QStringLiteral("rate"), QStringLiteral("With --replay, frames per second, from 0.01 to 100 (default 20)."),
        QStringLiteral("N"), QStringLiteral("20"));
    parser.addOption(replayOption);
    parser.addOption(rateOption);
    parser.addOption(screenshotOption);
    parser.addOption(delayOption);
    // Parsed before the application exists, so -h and -v answer without
    // anything Qt may say while it starts.
    if (const auto status
        = commandLine.parse(argumentList(argc, argv), QStringLiteral("use --data FILE to read a data file")))
        return *status;
    if (const auto status = commandLine.requireWith(delayOption, screenshotOption))
        return *status;
    if (const auto status = commandLine.checkScreenshotFile(screenshotOption))
        return *status;
    if (const auto status = commandLine.requireWith(rateOption, replayOption))
        return *status;

    if (parser.isSet(listPortsOption)) {
        for (const QString& name : parser.optionNames()) {
            if (!listPortsOption.names().contains(name))
                return commandLine.fail(
                    QStringLiteral("--list-ports takes no other option, not --%1 (it only lists the serial ports)")
                        .arg(name));
        }
        const QStringList ports = meshscope::serialPortLines();
        if (ports.isEmpty())
            std::printf(
                "%s: no serial ports found (a USB adapter shows once plugged in; pseudo-terminals are not listed)\n",
                program);
        for (const QString& line : ports)
            std::printf("%s\n", line.toLocal8Bit().constData());
        return 0;
    }

    const QString port = parser.value(portOption);
    if (parser.isSet(portOption) && port.isEmpty())
        return commandLine.fail(QStringLiteral("--port wants a device path or a network source, not an empty name "
                                               "(leave --port out for COM%1)")
                                    .arg(MESHSCOPE_COMM_PORT));
    const QString capture = parser.value(replayOption);
    double replayRate = 20;
    if (parser.isSet(replayOption)) {
        for (const QCommandLineOption* line : {&portOption, &baudOption})
            if (parser.isSet(*line))
                return commandLine.fail(QStringLiteral("--replay plays a capture instead of a port: leave out --%1")
                                            .arg(line->names().constFirst()));
        QFile file(capture);
        if (QFileInfo(capture).isDir() || !file.open(QIODevice::ReadOnly))
            return commandLine.fail(
                QStringLiteral("cannot read the capture %1: %2 (give a file that --record wrote)")
                    .arg(capture, QFileInfo(capture).isDir() ? QStringLiteral("it is a folder") : file.errorString()));
        bool rateOk = false;
        replayRate = parser.value(rateOption).toDouble(&rateOk);
        if (!rateOk || !(replayRate >= 0.01 && replayRate <= 100))
            return commandLine.fail(QStringLiteral("--rate wants frames per second from 0.01 to 100, not \"%1\"")
                                        .arg(parser.value(rateOption)));
    }
    const bool network = NetComm::isNetworkPort(port);
    if (network) {
        try {
            NetComm().setAddress(port);
        } catch (const SerialPortError& error) {
            return commandLine.fail(QString::fromStdString(error.what()));
        }
        if (parser.isSet(baudOption))
            return commandLine.fail(
                QStringLiteral("--baud applies only to a serial port, not to %1 (the device server sets the rate)")
                    .arg(port));
    }

    // Plain digits only: no sign, no blanks, nothing past the largest whole number.
    const QString baudText = parser.value(baudOption);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    bool baudOk = false;
    const int baud = digits.match(baudText).hasMatch() ? baudText.toInt(&baudOk) : 0;
    if (digits.match(baudText).hasMatch() && !baudOk)
        return commandLine.fail(
            QStringLiteral("--baud %1 is more than any line runs at (at most 2147483647 bits per second)")
                .arg(baudText));
    if (!baudOk || baud <= 0) {
        return commandLine.fail(
            QStringLiteral("--baud wants a positive whole number of bits per second, not \"%1\"").arg(baudText));
    }

    const QString saveDir = parser.value(saveDirOption);
    if (parser.isSet(saveDirOption) && !(QFileInfo(saveDir).isDir() && QFileInfo(saveDir).isWritable()))
        return commandLine.fail(
            QStringLiteral("--save-dir %1 is not a folder this user may write to (create it or choose another)")
                .arg(saveDir));

    bool delayOk = false;
    const int delayMs = parser.value(delayOption).toInt(&delayOk);
    if (!delayOk || delayMs < 0) {
        return commandLine.fail(QStringLiteral("--screenshot-delay wants a number of milliseconds, not \"%1\"")
                                    .arg(parser.value(delayOption)));
    }

    const QString displayProblem = vorn::chooseDisplayPlatform(argc, argv);
    if (!displayProblem.isEmpty()) {
        vorn::reportLine(QString::fromLatin1(program), displayProblem);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(program));
    QApplication::setApplicationVersion(QStringLiteral(MESHSCOPE_VERSION));
    vorn::nameProgram(QString::fromLatin1(program), QStringLiteral(":/icons/meshscope.svg"));

    // A stop signal ends the program as closing the window does.
    int stoppedBy = 0;
    meshscope::frmVimo* shown = nullptr;
    const meshscope::StopSignals stopSignals([&](int signal) {
        stoppedBy = signal;
        if (shown)
            shown->close();
        QCoreApplication::quit();
    });

    meshscope::frmVimo window(MESHSCOPE_COMM_PORT, port);
    shown = &window;
    window.serialControl().setBaudRate(baud);
    if (parser.isSet(replayOption))
        window.serialControl().playCapture(capture, replayRate);
    if (parser.isSet(recordOption)) {
        // A recording pipe whose reader has gone then fails with EPIPE, which
        // stops the recording, instead of ending the viewer.
        std::signal(SIGPIPE, SIG_IGN);
        window.recordTo(parser.value(recordOption));
    }
    window.state().dataFile = QFile::encodeName(parser.value(dataOption)).toStdString();
    window.setLive(parser.isSet(liveOption));
    window.setSaveDir(saveDir);
    window.load();
    window.show();

    if (parser.isSet(screenshotOption))
        meshscope::takeScreenshotWhenShown(window, parser.value(screenshotOption), delayMs);
    const int status = app.exec();
    // As a shell reports a program the signal ended: 128 + its number.
    return stoppedBy != 0 ? 128 + stoppedBy : status;
}
