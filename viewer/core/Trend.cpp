#include "Trend.h"

namespace meshscope {

std::string_view trendName(TrendStatistic statistic)
{
    switch (statistic) {
    case TrendStatistic::Minimum: return "min";
    case TrendStatistic::Maximum: return "max";
    case TrendStatistic::Range: return "range";
    case TrendStatistic::Mean: return "mean";
    case TrendStatistic::Sq: return "Sq";
    case TrendStatistic::Sa: return "Sa";
    }
    return "range";
}

double trendValue(const SurfaceStatistics& stats, TrendStatistic statistic)
{
    switch (statistic) {
    case TrendStatistic::Minimum: return stats.minimum;
    case TrendStatistic::Maximum: return stats.maximum;
    case TrendStatistic::Range: return stats.range();
    case TrendStatistic::Mean: return stats.mean;
    case TrendStatistic::Sq: return stats.sq;
    case TrendStatistic::Sa: return stats.sa;
    }
    return stats.range();
}

void TrendSeries::setSurfaceRules(std::int16_t smoothLevel, const Levelling& levelling)
{
    if (smoothLevel == smoothLevel_ && levelling == levelling_)
        return;
    smoothLevel_ = smoothLevel;
    levelling_ = levelling;
    cache_.clear();
}

const SurfaceStatistics& TrendSeries::statisticsOf(const FrameHistory& history, std::uint64_t frame)
{
    // Numbers only grow, so everything below the oldest held is gone for good.
    cache_.erase(cache_.begin(), cache_.lower_bound(history.oldest()));
    if (const auto found = cache_.find(frame); found != cache_.end())
        return found->second;
    DrawnSurface surface = frameSurface(history.at(frame), smoothLevel_);
    levelSurface(surface, levelling_);
    return cache_.emplace(frame, surfaceStatistics(surface)).first->second;
}

} // namespace meshscope
