// meshscope: the live surface viewer. Built twice, differing only in the
// default serial port (MESHSCOPE_COMM_PORT).

#include "frmVimo.h"
#include "Screenshot.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#ifndef MESHSCOPE_COMM_PORT
#define MESHSCOPE_COMM_PORT 2
#endif

namespace {

void failLine(const char* program, const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", program, text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[])
{
    const char* program = MESHSCOPE_PROGRAM_NAME;
    // The GLUT shapes need an X display, so prefer xcb unless the user chose.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            bool helpOnly = false;
            for (int i = 1; i < argc; ++i) {
                const QByteArray arg(argv[i]);
                helpOnly = helpOnly || arg == "--help" || arg == "-h" || arg == "--version" || arg == "-v";
            }
            if (!helpOnly) {
                std::fprintf(stderr, "%s: no X display (set DISPLAY, or run under xvfb-run)\n", program);
                return 1;
            }
            qputenv("QT_QPA_PLATFORM", "offscreen");
        } else {
            qputenv("QT_QPA_PLATFORM", "xcb");
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(program));
    QApplication::setApplicationVersion(QStringLiteral(MESHSCOPE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Live surface viewer: interpolates sample frames from a serial line (default COM%1) "
        "or datafile.dat in the working directory and draws them as a lit 3-D surface.")
                                         .arg(MESHSCOPE_COMM_PORT));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Read frames from the serial device PATH instead of COM%1 (/dev/ttyS%2).")
            .arg(MESHSCOPE_COMM_PORT)
            .arg(MESHSCOPE_COMM_PORT - 1),
        QStringLiteral("PATH"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Start as usual, write the window to FILE (PNG) once a frame is shown, and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption delayOption(
        QStringLiteral("screenshot-delay"),
        QStringLiteral("With --screenshot, let MS milliseconds of live frames pass first (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    parser.addOption(portOption);
    parser.addOption(screenshotOption);
    parser.addOption(delayOption);
    parser.process(app);

    bool delayOk = false;
    const int delayMs = parser.value(delayOption).toInt(&delayOk);
    if (!delayOk || delayMs < 0) {
        failLine(program, QStringLiteral("--screenshot-delay wants a number of milliseconds, not \"%1\"")
                              .arg(parser.value(delayOption)));
        return 2;
    }

    meshscope::frmVimo window(MESHSCOPE_COMM_PORT, parser.value(portOption));
    window.load();
    window.show();

    if (parser.isSet(screenshotOption))
        meshscope::takeScreenshotWhenShown(window, parser.value(screenshotOption), delayMs);
    return app.exec();
}
