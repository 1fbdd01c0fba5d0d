#include "FrameTimes.h"

#include "HandlerReport.h"

#include <QString>
#include <QtGlobal>

namespace meshscope {

FrameTimes::FrameTimes()
{
    const QByteArray path = qgetenv("MESHSCOPE_FRAME_TIMES");
    if (path.isEmpty())
        return;
    file_.reset(std::fopen(path.constData(), "w"));
    if (!file_)
        vorn::reportError(
            QStringLiteral("meshscope: cannot write frame times to %1").arg(QString::fromLocal8Bit(path)));
}

void FrameTimes::paintEnded()
{
    if (!on())
        return;
    std::fprintf(file_.get(), "%lld %lld %lld %lld %lld\n", static_cast<long long>(taken_.start),
                 static_cast<long long>(taken_.end), static_cast<long long>(paintStart_),
                 static_cast<long long>(swapped_), static_cast<long long>(now()));
    std::fflush(file_.get());
    taken_ = {};
}

} // namespace meshscope
