// The colour scale beside the view: the drawn heights' range, "nice" ticks
// over it, and the colour each height shows in the current colour mode.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "ViewerState.h"

namespace meshscope {

struct HeightRange {
    float low = 0;
    float high = 0;
};

// The lowest and highest height among the nodes the paint draws; empty when
// no cell is drawn.
std::optional<HeightRange> drawnHeightRange(const ViewerState& state);

// Five to ten round values (steps of 1, 2, 2.5 or 5 times a power of ten)
// between low and high; a range of one height gets ticks around it.
std::vector<double> niceTicks(double low, double high);

// The range the scale shows: the drawn heights widened to their outer ticks
// when there are fewer than five inside (a flat surface, say).
HeightRange scaleRange(const HeightRange& drawn);

// The colour the mapping gives height z in colorMode, or on the fitted
// colours when set, as the screen shows it: clamped to 0..1 and in 8-bit steps.
std::array<std::uint8_t, 3> scaleColor(double z, std::int16_t colorMode,
                                       const std::optional<FittedColours>& fit = std::nullopt);

// Colours fitted to the drawn heights of state; aboutZero for a surface whose
// zero means something (a difference, a levelled surface). Empty when no
// cell is drawn.
std::optional<FittedColours> fittedColoursOf(const ViewerState& state, bool aboutZero);

// Modes without a scheme of their own (4, 5, any other) show one colour.
bool singleColorMode(std::int16_t colorMode);

} // namespace meshscope
