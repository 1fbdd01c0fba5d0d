// Vorn: shows the examples window; can also write it to an image and exit.
#include "CommandLine.h"
#include "Form1.h"
#include "FrameGrab.h"
#include "ProgramStart.h"
#include "WindowImage.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

QString versionText()
{
    return QString::asprintf("%d.%02d.%04d", VORN_VERSION_MAJOR, VORN_VERSION_MINOR, VORN_VERSION_REVISION);
}

// Once all four viewports have shown a frame, writes the window to path and quits.
void scheduleScreenshot(Form1& form, const QString& path)
{
    vorn::grabWhenShown(
        form, &form, &Form1::allViewportsPresented,
        [path](const QImage& picture) { saveScreenshotAndQuit(picture, path); },
        [path] {
            vorn::reportError(QStringLiteral("no screenshot written to %1: not every viewport presented a frame "
                                             "(see the errors above)")
                                  .arg(path));
            QApplication::exit(1);
        });
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine commandLine(QStringLiteral("Vorn"), versionText(),
                            QStringLiteral("Four demonstration scenes of the VornCtl viewport."));
    QCommandLineParser& parser = commandLine.parser();
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Write the window to <file> (.png, .jpg or .jpeg) once every viewport has drawn, then exit."),
        QStringLiteral("file"));
    parser.addOption(screenshotOption);
    if (const auto status = commandLine.parse(argumentList(argc, argv)))
        return *status;
    if (const auto status = commandLine.checkScreenshotFile(screenshotOption))
        return *status;

    const QString displayProblem = vorn::chooseDisplayPlatform(argc, argv);
    if (!displayProblem.isEmpty()) {
        vorn::reportLine(QStringLiteral("Vorn"), displayProblem);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn"));
    QApplication::setApplicationVersion(versionText());
    vorn::nameProgram(QStringLiteral("Vorn"), QStringLiteral(":/icons/vorn.svg"));

    Form1 form;
    vorn::placeOnScreen(form); // a screen smaller than the design gets a smaller window
    if (parser.isSet(screenshotOption))
        scheduleScreenshot(form, parser.value(screenshotOption));
    form.show();
    return QApplication::exec();
}
