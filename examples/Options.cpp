#include "Options.h"

#include "CommandLine.h"

QString versionText()
{
    return QString::asprintf("%d.%02d.%04d", VORN_VERSION_MAJOR, VORN_VERSION_MINOR, VORN_VERSION_REVISION);
}

std::optional<int> readOptions(int argc, char** argv, Options& options)
{
    CommandLine commandLine(QStringLiteral("Vorn"), versionText(),
                            QStringLiteral("Four demonstration scenes of the VornCtl viewport."));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Write the window to <file> (.png, .jpg or .jpeg) once every viewport has drawn, then exit."),
        QStringLiteral("file"));
    commandLine.addOption(screenshotOption);
    if (const auto status = commandLine.parse(argc, argv))
        return status;
    if (const auto status = commandLine.checkScreenshotFile(screenshotOption))
        return status;
    if (commandLine.isSet(screenshotOption))
        options.screenshot = commandLine.value(screenshotOption);
    return std::nullopt;
}
