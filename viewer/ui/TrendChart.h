#pragma once

// A strip chart of one statistic of the drawn surface over the frames of the
// history, along the view's lower edge, with the frozen frame marked on it.

#include "LookBack.h"
#include "Trend.h"

#include <QWidget>

#include <cstdint>
#include <vector>

namespace meshscope {

class TrendChart : public QWidget {
    Q_OBJECT
public:
    TrendChart(QWidget* window, const LookBack& lookBack);

    void setStatistic(TrendStatistic statistic);
    TrendStatistic statistic() const { return statistic_; }
    // Follows a paint: the history, the frame shown and the surface rules now.
    void follow(std::int16_t smoothLevel);
    // Its place: along the window's width, its lower edge at bottom.
    void place(int bottom, int width);
    // The x of a frame's point and of the frozen frame's mark; -1 when none.
    int xOf(std::uint64_t frame) const;
    int markX() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The frames drawn: every stride-th number, so a growing history keeps
    // asking for the frames it already worked out.
    std::vector<std::uint64_t> sampledFrames() const;

    const LookBack& lookBack_;
    TrendSeries series_;
    TrendStatistic statistic_ = TrendStatistic::Range;
};

} // namespace meshscope
