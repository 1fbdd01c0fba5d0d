#include "TrendChart.h"

#include "ColorScale.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <bit>
#include <cmath>

namespace meshscope {

namespace {

constexpr int chartHeight = 60;
constexpr int margin = 8;
constexpr int plotTop = 16;
constexpr int tickLength = 4;
constexpr int labelSpacing = 14; // pixels between two tick labels at the least

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

TrendChart::TrendChart(QWidget* window, const LookBack& lookBack) : QWidget(window), lookBack_(lookBack)
{
    setObjectName(QStringLiteral("trendChart"));
    // A native window of its own over the viewport's GL window, as the slider panel is.
    setAttribute(Qt::WA_NativeWindow);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    setPalette(colours);
    hide();
}

void TrendChart::setStatistic(TrendStatistic statistic)
{
    statistic_ = statistic;
    update();
}

void TrendChart::setUnits(const SurfaceUnits& units)
{
    units_ = units;
    update();
}

// Every paint of the view comes here; the chart is drawn again only when
// what it shows changed: the history, the frame shown or the surface rules.
void TrendChart::follow(std::int16_t smoothLevel)
{
    series_.setSurfaceRules(smoothLevel, lookBack_.levelling());
    const FrameHistory& history = lookBack_.history();
    const Followed now{history.oldest(), history.newest(), lookBack_.shownFrame(), smoothLevel, lookBack_.levelling()};
    if (followed_ == now)
        return;
    followed_ = now;
    update();
}

void TrendChart::place(int bottom, int width)
{
    const QRect place(0, bottom - chartHeight, width, chartHeight);
    if (geometry() != place)
        setGeometry(place);
}

int TrendChart::xOf(std::uint64_t frame) const
{
    const FrameHistory& history = lookBack_.history();
    if (!history.holds(frame))
        return -1;
    const int span = std::max(1, width() - plotLeft_ - margin - 1);
    const auto last = static_cast<double>(std::max<std::size_t>(1, history.size() - 1));
    return plotLeft_ + static_cast<int>(std::lround(static_cast<double>(frame - history.oldest()) * span / last));
}

int TrendChart::markX() const
{
    const auto shown = lookBack_.shownFrame();
    return shown ? xOf(*shown) : -1;
}

std::vector<std::uint64_t> TrendChart::sampledFrames() const
{
    const FrameHistory& history = lookBack_.history();
    std::vector<std::uint64_t> frames;
    if (history.empty())
        return frames;
    const auto columns = static_cast<std::uint64_t>(std::max(1, width() - plotLeft_ - margin));
    const std::uint64_t stride = std::bit_ceil((history.size() + columns - 1) / columns);
    for (std::uint64_t frame = (history.oldest() + stride - 1) / stride * stride; frame <= history.newest();
         frame += stride)
        frames.push_back(frame);
    // The ends and the frozen frame are always drawn as they are.
    frames.insert(frames.begin(), history.oldest());
    frames.push_back(history.newest());
    if (const auto shown = lookBack_.shownFrame(); shown && history.holds(*shown))
        frames.insert(std::lower_bound(frames.begin(), frames.end(), *shown), *shown);
    return frames;
}

std::vector<double> TrendChart::axisValues(double low, double high) const
{
    std::vector<double> all;
    for (const double value : niceTicks(low, high))
        if (value >= low && value <= high)
            all.push_back(value);
    // Every k-th of them, so the labels stand apart.
    const int room = std::max(1, (height() - 4 - plotTop) / labelSpacing + 1);
    const std::size_t every = (all.size() + std::size_t(room) - 1) / std::size_t(room);
    std::vector<double> kept;
    for (std::size_t k = 0; k < all.size(); k += std::max<std::size_t>(1, every))
        kept.push_back(all[k]);
    return kept;
}

// The statistic's name over the chart, its value axis at the left with the
// ticks labelled in the height unit, the line over the frames and the
// frozen frame's mark.
void TrendChart::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QColor text = palette().color(QPalette::WindowText);
    const std::vector<std::uint64_t> frames = sampledFrames();
    std::vector<double> values;
    values.reserve(frames.size());
    for (const std::uint64_t frame : frames)
        values.push_back(trendValue(series_.statisticsOf(lookBack_.history(), frame), statistic_));
    double low = 0, spread = 1;
    if (!values.empty()) {
        const auto extremes = std::minmax_element(values.begin(), values.end());
        low = *extremes.first;
        spread = *extremes.second > low ? *extremes.second - low : 1.0;
    }
    const int top = plotTop, bottom = height() - 4;
    const auto yOf = [&](double value) { return bottom - (value - low) / spread * (bottom - top); };

    ticks_.clear();
    int labelWidth = 0;
    if (!values.empty())
        for (const double value : axisValues(low, low + spread)) {
            const QString label = qText(units_.height(value));
            ticks_.push_back({value, static_cast<int>(std::lround(yOf(value))), label});
            labelWidth = std::max(labelWidth, painter.fontMetrics().horizontalAdvance(label));
        }
    plotLeft_ = margin + labelWidth + (labelWidth > 0 ? 2 + tickLength : 0);
    painter.setPen(text);
    for (const Tick& tick : ticks_) {
        painter.drawLine(plotLeft_ - tickLength, tick.y, plotLeft_ - 1, tick.y);
        painter.drawText(QRect(margin, tick.y - labelSpacing / 2, labelWidth, labelSpacing),
                         Qt::AlignRight | Qt::AlignVCenter, tick.label);
    }
    if (!ticks_.empty())
        painter.drawLine(plotLeft_ - 1, top, plotLeft_ - 1, bottom);
    painter.drawText(QRect(plotLeft_ + 4, 2, width() - plotLeft_ - margin - 4, plotTop - 2),
                     Qt::AlignLeft | Qt::AlignTop, qText(trendName(statistic_)));
    if (frames.empty())
        return;
    QPainterPath line;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const QPointF point(xOf(frames[k]), yOf(values[k]));
        if (k == 0)
            line.moveTo(point);
        else
            line.lineTo(point);
    }
    painter.setPen(QPen(QColor(80, 200, 255), 1.5));
    painter.drawPath(line);
    if (const int mark = markX(); mark >= 0) {
        painter.setPen(QPen(QColor(255, 220, 0), 2));
        painter.drawLine(mark, 2, mark, height() - 2);
    }
}

} // namespace meshscope
