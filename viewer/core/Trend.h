// One statistic of the drawn surface over the frames of the history, for a
// strip chart that follows the history slider.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

#include "FrameHistory.h"
#include "Levelling.h"
#include "SurfaceStatistics.h"

namespace meshscope {

enum class TrendStatistic { Minimum, Maximum, Range, Mean, Sq, Sa };

inline constexpr TrendStatistic kTrendStatistics[]
    = {TrendStatistic::Minimum, TrendStatistic::Maximum, TrendStatistic::Range,
       TrendStatistic::Mean,    TrendStatistic::Sq,      TrendStatistic::Sa};

// The name the statistics panel and meshgrid --stats give it.
std::string_view trendName(TrendStatistic statistic);
double trendValue(const SurfaceStatistics& stats, TrendStatistic statistic);

// The statistics of history frames' drawn surfaces, each worked out once per
// frame number at one smoothing width and levelling; a change of either starts
// afresh, and frames the history dropped are forgotten.
class TrendSeries {
public:
    // Keeps what is worked out while width and levelling stay as they were.
    void setSurfaceRules(std::int16_t smoothLevel, const Levelling& levelling);
    // The statistics of a held frame's surface as the viewer draws it.
    const SurfaceStatistics& statisticsOf(const FrameHistory& history, std::uint64_t frame);
    std::size_t cached() const { return cache_.size(); }

private:
    std::int16_t smoothLevel_ = 0;
    Levelling levelling_;
    std::map<std::uint64_t, SurfaceStatistics> cache_;
};

} // namespace meshscope
