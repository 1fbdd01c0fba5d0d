#include "Options.h"

#include "CommandLine.h"
#include "LineAddress.h"
#include "LineOpening.h"
#include "MSComm.h"
#include "PortList.h"
#include "Units.h"
#include "ViewerState.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

#include <sys/stat.h>

namespace meshscope {

namespace {

// Why a capture cannot be played: what it is when it is neither a file nor a
// pipe (a device would never end); empty otherwise.
QString captureKindProblem(const QString& capture)
{
    struct stat info {};
    if (::stat(QFile::encodeName(capture).constData(), &info) != 0 || S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("it is a folder");
    const char* kind = S_ISCHR(info.st_mode) ? "a character device"
        : S_ISBLK(info.st_mode)              ? "a block device"
        : S_ISSOCK(info.st_mode)             ? "a socket"
                                             : "no regular file";
    return QStringLiteral("it is %1, not a file").arg(QLatin1String(kind));
}

// --list-ports: a line per serial port the system reports, on standard output.
int listSerialPorts(const char* program)
{
    const QStringList ports = serialPortLines();
    if (ports.isEmpty())
        std::printf(
            "%s: no serial ports found (a USB adapter shows once plugged in; pseudo-terminals are not listed)\n",
            program);
    for (const QString& line : ports)
        std::printf("%s\n", line.toLocal8Bit().constData());
    return 0;
}

} // namespace

std::optional<int> readOptions(const Build& build, int argc, char** argv, Options& options)
{
    CommandLine commandLine(QString::fromLatin1(build.program), QString::fromLatin1(build.version),
                            QStringLiteral("Live surface viewer: interpolates sample frames from a serial line "
                                           "(default COM%1) or datafile.dat in the working directory and draws "
                                           "them as a lit 3-D surface. The status line counts accepted takes: "
                                           "a complete frame left last is taken again at every 10 ms poll, so a "
                                           "quiet line keeps counting.")
                                .arg(build.commPort));
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Read frames from the serial device PATH instead of COM%1 (/dev/ttyS%2); or from the "
                       "network: tcp://HOST:PORT connects to a serial-to-network bridge such as ser2net, "
                       "udp://[ADDRESS]:PORT takes the datagrams sent to that port, "
                       "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC subscribes to TOPIC on an MQTT broker (port "
                       "1883; wildcards + and # allowed), mqtts://... over TLS (port 8883). The password may "
                       "come from MESHSCOPE_MQTT_PASSWORD instead.")
            .arg(build.commPort)
            .arg(build.commPort - 1),
        QStringLiteral("PATH"));
    const QCommandLineOption baudOption(
        QStringLiteral("baud"),
        QStringLiteral("Line speed in bits per second (default %1); 8 data bits, no parity, one stop bit. "
                       "Serial ports only.")
            .arg(MSComm::BaudRate),
        QStringLiteral("N"), QString::number(MSComm::BaudRate));
    const QCommandLineOption caOption(
        QStringLiteral("ca"),
        QStringLiteral("With an mqtts:// port, trust only the certificate authority in FILE (PEM) instead of "
                       "the system's."),
        QStringLiteral("FILE"));
    const QCommandLineOption listPortsOption(
        QStringLiteral("list-ports"),
        QStringLiteral("Print each serial port found (path, description, maker, serial number) and exit; "
                       "takes no other option."));
    const QCommandLineOption recordOption(
        QStringLiteral("record"),
        QStringLiteral("Append every byte read from the line to FILE, unchanged and in order, "
                       "including what the space key throws away; meshsim --replay and meshgrid "
                       "take the file back."),
        QStringLiteral("FILE"));
    const QCommandLineOption dataOption(
        QStringLiteral("data"),
        QStringLiteral("Read the samples of FILE at start and on the key f (default: %1 in the working directory).")
            .arg(QLatin1String(kDataFileName)),
        QStringLiteral("FILE"), QLatin1String(kDataFileName));
    const QCommandLineOption liveOption(
        QStringLiteral("live"),
        QStringLiteral("Draw each new frame as it arrives, at the pace the drawing allows, instead of at the "
                       "next 250 ms animation tick; a frame taken again unchanged draws nothing."));
    const QCommandLineOption scaleOption(
        QStringLiteral("scale"),
        QStringLiteral("Show the colour scale at the view's right edge from the start (also in the right-click "
                       "menu): the current colour mode over the drawn heights, with ticks in height units."));
    const QCommandLineOption samplesOption(
        QStringLiteral("samples"),
        QStringLiteral("Mark the points of the last accepted frame in the scene from the start (also in the "
                       "right-click menu)."));
    const QCommandLineOption statsOption(
        QStringLiteral("stats"),
        QStringLiteral("Show the statistics of the shown surface under the help from the start (also in the "
                       "right-click menu): min and max with their cells, range, mean, Sq, Sa, the frame's points."));
    const QCommandLineOption trendOption(
        QStringLiteral("trend"),
        QStringLiteral("Show the trend from the start (also in the right-click menu): a chart of the range (or "
                       "another statistic chosen in the menu) over the frames of the history, the frozen frame "
                       "marked on it."));
    const QCommandLineOption coloursOption(
        QStringLiteral("colours"),
        QStringLiteral("fit: colour the shown heights on a map fitted to their range from the start (also in "
                       "the right-click menu): viridis from lowest to highest, or blue, white at 0, red for a "
                       "difference or a levelled surface; modes (the default): the colour mode the key c sets."),
        QStringLiteral("fit|modes"), QStringLiteral("modes"));
    const QCommandLineOption gridStepOption(
        QStringLiteral("grid-step"),
        QStringLiteral("The distance between neighbouring columns and rows, such as 0.5mm, 2.5 mm or 20um "
                       "(prefixes n, u or \u00b5, m, c, k)."),
        QStringLiteral("LENGTH"));
    const QCommandLineOption heightUnitOption(
        QStringLiteral("height-unit"),
        QStringLiteral("What one height unit is, such as 10um, 0.01mm, 0.1kPa or 0.5\u00b0C; the statistics "
                       "are written in it."),
        QStringLiteral("QUANTITY"));
    const QCommandLineOption levelOption(
        QStringLiteral("level"),
        QStringLiteral("plane: take away the plane fitted by least squares over the drawn cells from the start "
                       "(also in the right-click menu's Level); none (the default): the heights as drawn."),
        QStringLiteral("none|plane"), QStringLiteral("none"));
    const QCommandLineOption zeroOption(
        QStringLiteral("zero"),
        QStringLiteral("min or mean: then put the zero at the lowest height or at the mean (also in the "
                       "right-click menu's Level); none (the default): the zero as measured."),
        QStringLiteral("none|min|mean"), QStringLiteral("none"));
    const QCommandLineOption saveDirOption(
        QStringLiteral("save-dir"),
        QStringLiteral("Write the pictures (Ctrl+S) and grids (Ctrl+Shift+S) saved from the window to DIR "
                       "(default: the working directory)."),
        QStringLiteral("DIR"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral(
            "Start as usual, write the window to FILE (.png, .jpg or .jpeg) once a frame is shown, and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption delayOption(
        QStringLiteral("screenshot-delay"),
        QStringLiteral("With --screenshot, let MS milliseconds of live frames pass first (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
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
    for (const QCommandLineOption* option :
         {&portOption,     &baudOption,       &caOption,      &listPortsOption, &recordOption,  &dataOption,
          &liveOption,     &scaleOption,      &samplesOption, &statsOption,     &trendOption,   &coloursOption,
          &gridStepOption, &heightUnitOption, &levelOption,   &zeroOption,      &saveDirOption, &replayOption,
          &rateOption,     &screenshotOption, &delayOption})
        commandLine.addOption(*option);

    // Read before the application exists, so -h and -v answer without
    // anything Qt may say while it starts.
    if (const auto status = commandLine.parse(argc, argv, QStringLiteral("use --data FILE to read a data file")))
        return status;
    if (const auto status = commandLine.requireWith(delayOption, screenshotOption))
        return status;
    if (const auto status = commandLine.checkScreenshotFile(screenshotOption))
        return status;
    if (const auto status = commandLine.requireWith(rateOption, replayOption))
        return status;

    if (commandLine.isSet(listPortsOption)) {
        for (const QString& name : commandLine.optionNames()) {
            if (!listPortsOption.names().contains(name))
                return commandLine.fail(
                    QStringLiteral("--list-ports takes no other option, not --%1 (it only lists the serial ports)")
                        .arg(name));
        }
        return listSerialPorts(build.program);
    }

    options.port = commandLine.value(portOption);
    if (commandLine.isSet(portOption) && options.port.isEmpty())
        return commandLine.fail(QStringLiteral("--port wants a device path or a network source, not an empty name "
                                               "(leave --port out for COM%1)")
                                    .arg(build.commPort));
    if (const QString problem = lineNameProblem(options.port); !problem.isEmpty())
        return commandLine.fail(problem);
    const LineKind kind = lineKindOf(options.port);
    if (kind == LineKind::socket) {
        if (commandLine.isSet(baudOption))
            return commandLine.fail(
                QStringLiteral("--baud applies only to a serial port, not to %1 (the device server sets the rate)")
                    .arg(options.port));
    }

    const bool mqtt = kind == LineKind::mqtt;
    if (mqtt) {
        lineaddress::MqttAddress address;
        try {
            address = lineaddress::parseMqtt(options.port.toStdString(), true);
        } catch (const lineaddress::AddressError& error) {
            return commandLine.fail(QString::fromStdString(error.what()));
        }
        const QString shown = QString::fromStdString(address.shown);
        if (commandLine.isSet(baudOption))
            return commandLine.fail(
                QStringLiteral(
                    "--baud applies only to a serial port, not to %1 (the broker passes the bytes on as they come)")
                    .arg(shown));
        if (commandLine.isSet(caOption) && !address.tls)
            return commandLine.fail(
                QStringLiteral("--ca applies only to an mqtts:// port, not to %1 (write mqtts:// for TLS)").arg(shown));
    }
    if (commandLine.isSet(caOption)) {
        options.caFile = commandLine.value(caOption);
        if (!mqtt)
            return commandLine.fail(QStringLiteral("--ca applies only to an mqtts:// port (a broker's certificate "
                                                   "authority)"));
        QFile authority(options.caFile);
        if (!authority.open(QIODevice::ReadOnly))
            return commandLine.fail(
                QStringLiteral("--ca %1 cannot be read: %2").arg(options.caFile, authority.errorString()));
    }

    // Plain digits only: no sign, no blanks, nothing past the largest whole number.
    const QString baudText = commandLine.value(baudOption);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const bool allDigits = digits.match(baudText).hasMatch();
    bool baudOk = false;
    options.baud = allDigits ? baudText.toInt(&baudOk) : 0;
    if (allDigits && !baudOk)
        return commandLine.fail(
            QStringLiteral("--baud %1 is more than any line runs at (at most 2147483647 bits per second)")
                .arg(baudText));
    if (!baudOk || options.baud <= 0)
        return commandLine.fail(
            QStringLiteral("--baud wants a positive whole number of bits per second, not \"%1\"").arg(baudText));

    options.saveDir = commandLine.value(saveDirOption);
    const QFileInfo saveDir(options.saveDir);
    if (commandLine.isSet(saveDirOption) && !(saveDir.isDir() && saveDir.isWritable()))
        return commandLine.fail(
            QStringLiteral("--save-dir %1 is not a folder this user may write to (create it or choose another)")
                .arg(options.saveDir));

    bool delayOk = false;
    options.screenshotDelayMs = commandLine.value(delayOption).toInt(&delayOk);
    if (!delayOk || options.screenshotDelayMs < 0)
        return commandLine.fail(QStringLiteral("--screenshot-delay wants a number of milliseconds, not \"%1\"")
                                    .arg(commandLine.value(delayOption)));

    if (commandLine.isSet(replayOption)) {
        for (const QCommandLineOption* line : {&portOption, &baudOption})
            if (commandLine.isSet(*line))
                return commandLine.fail(QStringLiteral("--replay plays a capture instead of a port: leave out --%1")
                                            .arg(line->names().constFirst()));
        const QString capture = commandLine.value(replayOption);
        QFile file(capture);
        const QString kindProblem = captureKindProblem(capture);
        if (!kindProblem.isEmpty() || !file.open(QIODevice::ReadOnly))
            return commandLine.fail(QStringLiteral("cannot read the capture %1: %2 (give a file that --record wrote)")
                                        .arg(capture, kindProblem.isEmpty() ? file.errorString() : kindProblem));
        bool rateOk = false;
        options.replayRate = commandLine.value(rateOption).toDouble(&rateOk);
        if (!rateOk || !(options.replayRate >= 0.01 && options.replayRate <= 100))
            return commandLine.fail(QStringLiteral("--rate wants frames per second from 0.01 to 100, not \"%1\"")
                                        .arg(commandLine.value(rateOption)));
        options.replay = capture;
    }
    if (commandLine.isSet(recordOption))
        options.recordFile = commandLine.value(recordOption);
    options.dataFile = commandLine.value(dataOption);
    if (options.dataFile.isEmpty())
        return commandLine.fail(QStringLiteral("--data wants a file name, not an empty name (leave --data out for %1 "
                                               "in the working directory)")
                                    .arg(QLatin1String(kDataFileName)));
    options.live = commandLine.isSet(liveOption);
    options.scale = commandLine.isSet(scaleOption);
    options.samples = commandLine.isSet(samplesOption);
    options.stats = commandLine.isSet(statsOption);
    options.trend = commandLine.isSet(trendOption);
    const QString colours = commandLine.value(coloursOption);
    if (colours != QLatin1String("fit") && colours != QLatin1String("modes"))
        return commandLine.fail(QStringLiteral("--colours wants fit or modes, not \"%1\"").arg(colours));
    options.fitted = colours == QLatin1String("fit");
    const QString level = commandLine.value(levelOption);
    if (level != QLatin1String("none") && level != QLatin1String("plane"))
        return commandLine.fail(QStringLiteral("--level wants none or plane, not \"%1\"").arg(level));
    options.levelling.tilt = level == QLatin1String("plane") ? TiltRemoval::BestFitPlane : TiltRemoval::None;
    const QString zero = commandLine.value(zeroOption);
    if (zero != QLatin1String("none") && zero != QLatin1String("min") && zero != QLatin1String("mean"))
        return commandLine.fail(QStringLiteral("--zero wants none, min or mean, not \"%1\"").arg(zero));
    options.levelling.zero = zero == QLatin1String("min") ? ZeroAt::Minimum
        : zero == QLatin1String("mean")                   ? ZeroAt::Mean
                                                          : ZeroAt::None;
    for (const auto& [option, read] :
         {std::pair{&gridStepOption, &readGridStep}, {&heightUnitOption, &readHeightUnit}}) {
        if (!commandLine.isSet(*option))
            continue;
        const UnitOption unit = read(commandLine.value(*option).toStdString());
        if (!unit.quantity)
            return commandLine.fail(QString::fromStdString(unit.error));
        (option == &gridStepOption ? options.units.gridStep : options.units.heightUnit) = unit.quantity;
    }
    if (commandLine.isSet(screenshotOption))
        options.screenshot = commandLine.value(screenshotOption);
    return std::nullopt;
}

} // namespace meshscope
