#include "ReplayComm.h"

#include "LineReader.h"

#include <algorithm>
#include <cmath>

ReplayComm::ReplayComm(QObject* parent) : LineControl(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ReplayComm::deliverNext);
}

ReplayComm::~ReplayComm() = default;

void ReplayComm::setCapture(const QString& path, double framesPerSecond)
{
    path_ = path;
    rate_ = framesPerSecond;
}

void ReplayComm::setPortOpen(bool open)
{
    if (!open) {
        timer_.stop();
        file_.close();
        return;
    }
    if (file_.isOpen())
        return;
    file_.setFileName(path_);
    if (!file_.open(QIODevice::ReadOnly))
        throw LineOpenError("cannot open the capture " + path_.toStdString() + ": "
                            + file_.errorString().toStdString());
    ahead_.clear();
    waiting_.clear();
    ended_ = false;
    frames_ = 0;
    timer_.setInterval(std::max(1, static_cast<int>(std::lround(1000.0 / rate_))));
    if (!paused_)
        timer_.start();
}

// The next piece, through the next ">" (or the capture's rest at its end),
// once the poll has taken the last one.
void ReplayComm::deliverNext()
{
    if (!waiting_.empty() || ended_)
        return;
    std::size_t close = ahead_.find('>');
    while (close == std::string::npos && static_cast<qint64>(ahead_.size()) < LongestPiece && !file_.atEnd()) {
        const QByteArray more = file_.read(LongestPiece);
        if (more.isEmpty())
            break;
        ahead_.append(more.constData(), static_cast<std::size_t>(more.size()));
        close = ahead_.find('>');
    }
    const std::size_t length
        = close != std::string::npos ? close + 1 : std::min(ahead_.size(), static_cast<std::size_t>(LongestPiece));
    waiting_.assign(ahead_, 0, length);
    ahead_.erase(0, length);
    if (close != std::string::npos && waiting_.find('<') != std::string::npos)
        ++frames_;
    if (ahead_.empty() && file_.atEnd()) {
        ended_ = true;
        timer_.stop();
        emit finished();
    }
}

std::int16_t ReplayComm::InBufferCount()
{
    return saturatedCharCount(static_cast<qint64>(waiting_.size()));
}

std::string ReplayComm::Input()
{
    std::string taken;
    taken.swap(waiting_);
    return taken;
}

void ReplayComm::setPaused(bool paused)
{
    paused_ = paused;
    if (paused)
        timer_.stop();
    else if (file_.isOpen() && !ended_)
        timer_.start();
}
