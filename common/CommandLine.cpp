#include "CommandLine.h"

#include "HandlerReport.h"

#include <QFileInfo>

#include <string>
#include <utility>

namespace {

std::string name(const QCommandLineOption& option)
{
    return option.names().constLast().toStdString();
}

} // namespace

CommandLine::CommandLine(QString program, QString version, const QString& description)
    : program_(std::move(program)), version_(std::move(version))
{
    helpLayout_.setApplicationDescription(description);
    helpLayout_.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")});
    helpLayout_.addOption(
        {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit.")});
}

void CommandLine::addOption(const QCommandLineOption& option)
{
    helpLayout_.addOption(option);
    options_.push_back({name(option), !option.valueName().isEmpty()});
}

std::optional<int> CommandLine::parse(int argc, char** argv, const QString& strayAdvice)
{
    try {
        arguments_.emplace(program_.toStdString(), options_, std::vector<std::string>(argv + 1, argv + argc),
                           usage::Operands::Refused, strayAdvice.toLocal8Bit().toStdString());
    } catch (const usage::BadCommandLine& bad) {
        return fail(QString::fromLocal8Bit(bad.what()));
    }
    std::string help;
    if (arguments_->asksForHelp()) {
        // The layout names the program by its path, or by a placeholder
        // before the application exists; the usage line names it plainly.
        const QString text = helpLayout_.helpText();
        help = (QStringLiteral("Usage: %1 [options]").arg(program_) + text.mid(text.indexOf(QLatin1Char('\n'))))
                   .toLocal8Bit()
                   .toStdString();
    }
    return arguments_->answer(help, version_.toLocal8Bit().toStdString());
}

bool CommandLine::isSet(const QCommandLineOption& option) const
{
    return arguments_ && arguments_->isSet(name(option));
}

QString CommandLine::value(const QCommandLineOption& option) const
{
    if (!isSet(option))
        return option.defaultValues().value(0);
    return QString::fromLocal8Bit(arguments_->value(name(option)));
}

QStringList CommandLine::optionNames() const
{
    QStringList names;
    if (arguments_) {
        for (const std::string& given : arguments_->given())
            names << QString::fromStdString(given);
    }
    return names;
}

int CommandLine::fail(const QString& text) const
{
    vorn::reportLine(program_, text);
    return usage::kBadCommandLine;
}

std::optional<int> CommandLine::requireWith(const QCommandLineOption& option, const QCommandLineOption& required) const
{
    if (!isSet(option) || isSet(required))
        return std::nullopt;
    return fail(
        QStringLiteral("--%1 applies only with --%2").arg(option.names().constLast(), required.names().constLast()));
}

std::optional<int> CommandLine::checkScreenshotFile(const QCommandLineOption& screenshot) const
{
    const QString path = value(screenshot);
    if (!isSet(screenshot) || !screenshotFormat(path).isEmpty())
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
