#include "ColorScaleStrip.h"

#include "TextBoxes.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace meshscope {

ColorScaleStrip::ColorScaleStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("colorScale"));
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(statusFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
}

bool ColorScaleStrip::showRange(const HeightRange& drawn, std::int16_t colorMode,
                                const std::optional<FittedColours>& fit)
{
    // Fitted colours about zero reach as far below it as above.
    const HeightRange shown = fit ? HeightRange{static_cast<float>(fit->low), static_cast<float>(fit->high)} : drawn;
    const HeightRange range = scaleRange(shown);
    if (mode_ == colorMode && fit_ == fit && range.low == range_.low && range.high == range_.high)
        return false;
    range_ = range;
    mode_ = colorMode;
    fit_ = fit;
    ticks_ = niceTicks(shown.low, shown.high);
    update();
    return true;
}

void ColorScaleStrip::setUnits(const SurfaceUnits& units)
{
    units_ = units;
    update();
}

QRect ColorScaleStrip::stripRect() const
{
    const int margin = fontMetrics().height() / 2 + 2;
    return {width() - stripWidth - 4, margin, stripWidth, std::max(height() - 2 * margin, 1)};
}

double ColorScaleStrip::yFor(double height) const
{
    const QRect strip = stripRect();
    const double span = range_.high - range_.low;
    const double share = span > 0 ? (range_.high - height) / span : 0.5;
    return strip.top() + share * (strip.height() - 1) + 0.5;
}

void ColorScaleStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect strip = stripRect();
    const double span = range_.high - range_.low;
    // One row at a time at the height that row stands for, so a tick's row
    // shows exactly the colour of the tick's height.
    const double ratio = devicePixelRatioF();
    const int rows = static_cast<int>(std::lround(strip.height() * ratio));
    for (int r = 0; r < rows; ++r) {
        const double y = strip.top() + (r + 0.5) / ratio;
        const double share = strip.height() > 1 ? (y - strip.top() - 0.5) / (strip.height() - 1) : 0.5;
        const double z = range_.high - std::clamp(share, 0.0, 1.0) * span;
        const auto c = scaleColor(z, mode_, fit_);
        painter.fillRect(QRectF(strip.left(), strip.top() + r / ratio, strip.width(), 1 / ratio),
                         QColor(c[0], c[1], c[2]));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    for (const double tick : ticks_) {
        const double y = yFor(tick);
        painter.drawLine(QPointF(strip.left() - 5, y), QPointF(strip.left() - 1, y));
        const QString label
            = units_.heightUnit ? QString::fromStdString(units_.height(tick)) : QString::number(tick, 'g', 6);
        const QRectF box(0, y - metrics.height() / 2.0, strip.left() - 7, metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label);
    }
}

} // namespace meshscope
