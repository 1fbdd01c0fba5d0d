// Vorn: shows the examples window; can also write it to a PNG and exit.
#include "Form1.h"
#include "Screenshot.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kScreenshotPatienceMs = 20000;

QString versionText()
{
    return QString::asprintf("%d.%02d.%04d", VORN_VERSION_MAJOR, VORN_VERSION_MINOR,
                             VORN_VERSION_REVISION);
}

QStringList argumentList(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// Once all four viewports have shown a frame, writes the window to path and quits.
void scheduleScreenshot(Form1& form, const QString& path)
{
    QObject::connect(&form, &Form1::allViewportsPresented, &form, [&form, path] {
        // Let the window system take the last frames before reading it back.
        QTimer::singleShot(0, &form, [&form, path] {
            QString error;
            if (saveWindowImage(form, path, error)) {
                QApplication::exit(0);
                return;
            }
            std::fprintf(stderr, "Vorn: cannot write the screenshot %s: %s (choose a writable file)\n",
                         qPrintable(path), qPrintable(error));
            QApplication::exit(1);
        });
    });
    QTimer::singleShot(kScreenshotPatienceMs, &form, [path] {
        std::fprintf(stderr,
                     "Vorn: no screenshot written to %s: not every viewport presented a frame "
                     "(see the errors above)\n",
                     qPrintable(path));
        QApplication::exit(1);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Four demonstration scenes of the VornCtl viewport."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Write the window as a PNG to <file> once every viewport has drawn, then exit."),
        QStringLiteral("file"));
    parser.addOptions({helpOption, versionOption, screenshotOption});

    if (!parser.parse(argumentList(argc, argv))) {
        QString problem = parser.errorText();
        if (problem.endsWith(QLatin1Char('.')))
            problem.chop(1);
        std::fprintf(stderr, "Vorn: %s (see Vorn --help)\n", qPrintable(problem));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::printf("Usage: Vorn [options]\n%s\n\nOptions:\n"
                    "  -h, --help           Show this help and exit.\n"
                    "  --version            Show the version and exit.\n"
                    "  --screenshot <file>  Write the window as a PNG to <file> once every\n"
                    "                       viewport has drawn, then exit.\n",
                    qPrintable(parser.applicationDescription()));
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("Vorn %s\n", qPrintable(versionText()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "Vorn: unexpected argument %s (see Vorn --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    // The viewports' shapes come from freeglut, which needs an X display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn"));
    QApplication::setApplicationVersion(versionText());

    Form1 form;
    if (parser.isSet(screenshotOption))
        scheduleScreenshot(form, parser.value(screenshotOption));
    form.show();
    return QApplication::exec();
}
