#pragma once

#include "ColorScale.h"
#include "Units.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

namespace meshscope {

// A vertical strip of the colour mapping over the drawn heights (or over the
// fitted colours' range), high at the top, with its ticks labelled to the left.
class ColorScaleStrip : public QWidget {
    Q_OBJECT
public:
    explicit ColorScaleStrip(QWidget* parent = nullptr);

    // True when anything shown changed.
    bool showRange(const HeightRange& drawn, std::int16_t colorMode,
                   const std::optional<FittedColours>& fit = std::nullopt);

    const std::vector<double>& ticks() const { return ticks_; }
    std::int16_t colorMode() const { return mode_; }
    const std::optional<FittedColours>& fittedColours() const { return fit_; }
    // Where a height stands in the strip, in the widget's own coordinates.
    double yFor(double height) const;
    QRect stripRect() const;

    // Tick labels carry the height unit when one is set.
    void setUnits(const SurfaceUnits& units);

    static constexpr int stripWidth = 18;
    static constexpr int boxWidth = 78;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HeightRange range_;
    std::vector<double> ticks_;
    std::int16_t mode_ = -1;
    std::optional<FittedColours> fit_;
    SurfaceUnits units_;
};

} // namespace meshscope
