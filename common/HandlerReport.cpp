#include "HandlerReport.h"

#include "ProgramLine.h"

#include <QCoreApplication>

#include <cerrno>
#include <exception>

namespace vorn {

void reportLine(const QString& program, const QString& text)
{
    writeProgramLine(program.toLocal8Bit().toStdString(), text.toLocal8Bit().toStdString());
}

QString programName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QString::fromLocal8Bit(program_invocation_short_name) : name;
}

void reportError(const QString& text)
{
    reportLine(programName(), text);
}

void reportNotice(const QString& text)
{
    reportLine(programName(), text);
}

bool runHandler(const QString& handler, const std::function<void()>& body)
{
    QString what;
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        what = QString::fromLocal8Bit(error.what());
    } catch (...) {
        what = QStringLiteral("unknown error");
    }
    reportError(handler + QStringLiteral(": ") + what);
    return false;
}

} // namespace vorn
