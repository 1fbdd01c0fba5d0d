#include "HandlerReport.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

namespace vorn {

void reportLine(const QString& program, const QString& text)
{
    QString line = program + QStringLiteral(": ") + text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
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
    const QString program = QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
    reportLine(program.isEmpty() ? QStringLiteral("vorn") : program, handler + QStringLiteral(": ") + what);
    return false;
}

} // namespace vorn
