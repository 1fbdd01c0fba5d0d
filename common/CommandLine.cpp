#include "CommandLine.h"

#include "HandlerReport.h"
#include "Usage.h"

#include <QFileInfo>
#include <QRegularExpression>

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
    const QString seeHelp = QString::fromStdString(usage::seeHelp(program_.toStdString()));
    if (!parser_.parse(arguments)) {
        // The parser's own texts drop the dashes of an unknown option; say it as typed.
        const QStringList unknown = parser_.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.constFirst();
            return fail(QStringLiteral("unknown option '%1%2'").arg(QLatin1String(name.size() == 1 ? "-" : "--"), name)
                        + seeHelp);
        }
        static const QRegularExpression missingValue(QStringLiteral("^Missing value after '(.*)'\\.?$"));
        if (const auto match = missingValue.match(parser_.errorText()); match.hasMatch())
            return fail(match.captured(1) + QStringLiteral(" needs a value") + seeHelp);
        QString problem = parser_.errorText();
        if (problem.endsWith(QLatin1Char('.')))
            problem.chop(1);
        return fail(problem + seeHelp);
    }
    // A stray argument is a bad command line even beside -h or -v.
    if (!parser_.positionalArguments().isEmpty()) {
        const QString advice = strayAdvice.isEmpty() ? QStringLiteral("see %1 --help").arg(program_) : strayAdvice;
        return fail(
            QStringLiteral("unexpected argument \"%1\" (%2)").arg(parser_.positionalArguments().constFirst(), advice));
    }
    // The parser keeps the last of a repeated option's values; a user who
    // gave two meant one of them, and which is not for us to guess.
    QStringList seen;
    for (const QString& name : parser_.optionNames()) {
        if (seen.contains(name))
            return fail(QStringLiteral("%1%2 is given twice (give it once)")
                            .arg(QLatin1String(name.size() == 1 ? "-" : "--"), name));
        seen << name;
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
    return std::nullopt;
}

int CommandLine::fail(const QString& text) const
{
    vorn::reportLine(program_, text);
    return usage::kBadCommandLine;
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
