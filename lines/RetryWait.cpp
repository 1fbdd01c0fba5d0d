#include "RetryWait.h"

#include <algorithm>

RetryWait::RetryWait(int firstMs, int longestMs, QObject* parent)
    : QObject(parent), firstMs_(firstMs), longestMs_(longestMs)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // never shorter than said
    connect(&timer_, &QTimer::timeout, this, &RetryWait::elapsed);
}

int RetryWait::nextMs() const
{
    qint64 wait = firstMs_;
    for (int n = 0; n < refusals_ && wait < longestMs_; ++n)
        wait *= 2;
    return static_cast<int>(std::min<qint64>(wait, longestMs_));
}

void RetryWait::start()
{
    timer_.start(nextMs());
    refusals_ = std::min(refusals_ + 1, 32);
}

void RetryWait::reset()
{
    timer_.stop();
    refusals_ = 0;
}
