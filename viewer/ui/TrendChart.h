#pragma once

// A strip chart of one statistic of the drawn surface over the frames of the
// history, along the view's lower edge, with the frozen frame marked on it.

#include "LookBack.h"
#include "Trend.h"
#include "Units.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

namespace meshscope {

class TrendChart : public QWidget {
    Q_OBJECT
public:
    TrendChart(QWidget* window, const LookBack& lookBack);

    void setStatistic(TrendStatistic statistic);
    // The value axis's labels carry the height unit when one is set.
    void setUnits(const SurfaceUnits& units);
    TrendStatistic statistic() const { return statistic_; }
    // Follows a paint: the history, the frame shown and the surface rules now.
    void follow(std::int16_t smoothLevel);
    // Its place: along the window's width, its lower edge at bottom.
    void place(int bottom, int width);
    // The x of a frame's point and of the frozen frame's mark; -1 when none.
    int xOf(std::uint64_t frame) const;
    int markX() const;
    // The value axis as last painted: its ticks, where each stands and the
    // x of its tick mark's right end, left of the chart.
    struct Tick {
        double value = 0;
        int y = 0;
        QString label;
    };
    const std::vector<Tick>& ticks() const { return ticks_; }
    int axisX() const { return plotLeft_ - 1; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The frames drawn: every stride-th number, so a growing history keeps
    // asking for the frames it already worked out.
    std::vector<std::uint64_t> sampledFrames() const;
    // Round values over low..high, at most as many as the chart's height has room for.
    std::vector<double> axisValues(double low, double high) const;

    const LookBack& lookBack_;
    TrendSeries series_;
    TrendStatistic statistic_ = TrendStatistic::Range;
    SurfaceUnits units_;
    std::vector<Tick> ticks_;
    // What the chart last followed.
    struct Followed {
        std::uint64_t oldest = 0, newest = 0;
        std::optional<std::uint64_t> shown;
        std::int16_t smoothLevel = 0;
        Levelling levelling;
        bool operator==(const Followed&) const = default;
    };
    std::optional<Followed> followed_;
    int plotLeft_ = 8;
};

} // namespace meshscope
