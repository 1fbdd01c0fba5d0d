// Vorn: shows the examples window; can also write it to an image and exit.
#include "Form1.h"
#include "FrameGrab.h"
#include "Options.h"
#include "ProgramStart.h"
#include "WindowImage.h"

#include <QApplication>

namespace {

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
    Options options;
    if (const auto status = readOptions(argc, argv, options))
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
    if (options.screenshot)
        scheduleScreenshot(form, *options.screenshot);
    form.show();
    return QApplication::exec();
}
