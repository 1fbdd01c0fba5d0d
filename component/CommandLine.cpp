#include "CommandLine.h"

#include "ProgramStart.h"

#include <QFileInfo>

#include <cstdio>
#include <utility>

CommandLine::CommandLine(QString program, QString version, const QString& description)
    : program_(std::move(program)), version_(std::move(version)),
      helpOption_({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")),
      versionOption_({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit."))
{
    parser_.setApplicationDescription(description);
    parser_.addOption(helpOption_);
    parser_.addOption(versionOption_);
}

std::optional<int> CommandLine::parse(const QStringList& arguments, const QString& strayAdvice)
{
    if (!parser_.parse(arguments)) {
        QString problem = parser_.errorText();
        if (problem.endsWith(QLatin1Char('.')))
            problem.chop(1);
        return fail(problem + QStringLiteral(" (see %1 --help)").arg(program_));
    }
    if (parser_.isSet(helpOption_)) {
        // The parser names the program by its path, or by a placeholder
        // before the application exists; the usage line names it plainly.
        QString text = parser_.helpText();
        text = QStringLiteral("Usage: %1 [options]").arg(program_) + text.mid(text.indexOf(QLatin1Char('\n')));
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser_.isSet(versionOption_)) {
        std::printf("%s %s\n", program_.toLocal8Bit().constData(), version_.toLocal8Bit().constData());
        return 0;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        const QString advice = strayAdvice.isEmpty() ? QStringLiteral("see %1 --help").arg(program_) : strayAdvice;
        return fail(
            QStringLiteral("unexpected argument \"%1\" (%2)").arg(parser_.positionalArguments().constFirst(), advice));
    }
    return std::nullopt;
}

int CommandLine::fail(const QString& text) const
{
    vorn::reportLine(program_, text);
    return 2;
}

std::optional<int> CommandLine::requireWith(const QCommandLineOption& option, const QCommandLineOption& required) const
{
    if (!parser_.isSet(option) || parser_.isSet(required))
        return std::nullopt;
    return fail(
        QStringLiteral("--%1 applies only with --%2").arg(option.names().constLast(), required.names().constLast()));
}

std::optional<int> CommandLine::checkScreenshotFile(const QCommandLineOption& screenshot) const
{
    const QString path = parser_.value(screenshot);
    if (!parser_.isSet(screenshot) || !screenshotFormat(path).isEmpty())
        return std::nullopt;
    return fail(QStringLiteral("cannot write a screenshot as \"%1\" (name a .png, .jpg or .jpeg file)").arg(path));
}

QByteArray screenshotFormat(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return "png";
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "jpeg";
    return {};
}

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
