#include "TrendChart.h"

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

void TrendChart::follow(std::int16_t smoothLevel)
{
    series_.setSurfaceRules(smoothLevel, lookBack_.levelling());
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
    const int span = std::max(1, width() - 2 * margin - 1);
    const auto last = static_cast<double>(std::max<std::size_t>(1, history.size() - 1));
    return margin + static_cast<int>(std::lround(static_cast<double>(frame - history.oldest()) * span / last));
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
    const auto columns = static_cast<std::uint64_t>(std::max(1, width() - 2 * margin));
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

void TrendChart::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QColor text = palette().color(QPalette::WindowText);
    painter.setPen(text);
    painter.drawText(rect().adjusted(margin, 2, -margin, -2), Qt::AlignLeft | Qt::AlignTop,
                     QString::fromUtf8(trendName(statistic_).data(), qsizetype(trendName(statistic_).size())));
    const std::vector<std::uint64_t> frames = sampledFrames();
    if (frames.empty())
        return;
    std::vector<double> values;
    values.reserve(frames.size());
    for (const std::uint64_t frame : frames)
        values.push_back(trendValue(series_.statisticsOf(lookBack_.history(), frame), statistic_));
    const auto extremes = std::minmax_element(values.begin(), values.end());
    const double low = *extremes.first;
    const double spread = *extremes.second > low ? *extremes.second - low : 1.0;
    const int top = 16, bottom = height() - 4;
    const auto yOf = [&](double value) { return bottom - (value - low) / spread * (bottom - top); };
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
