// Real units for the grid and the heights: what one grid step and one height
// unit are, read from text such as "0.5mm" or "0.1kPa" and written back the
// way people read them ("79.5 µm"), whatever the locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meshscope {

// An amount of a unit: "2.5 mm" is 2.5 of milli and "m".
struct Quantity {
    double amount = 0;  // as written: 2.5
    std::string prefix; // "n", "µ", "m", "c", "k" or none
    std::string base;   // "m", "Pa", "°C", or any other symbol
    double prefixFactor = 1;

    double inBase() const { return amount * prefixFactor; }
    std::string symbol() const { return prefix + base; }
    bool isLength() const { return base == "m"; }
    bool operator==(const Quantity&) const = default;
};

// Reads a positive amount and a unit symbol, blanks between them allowed:
// "0.5mm", "2.5 mm", "20um", "20µm", "0.1kPa", "0.5°C". The prefixes n, µ
// (also u), m, c and k apply to the SI units the viewer knows (m, Pa, bar, V,
// A, N, g, s, Hz, W, K, T); any other symbol is taken whole. Empty on text
// that is not such a quantity.
std::optional<Quantity> parseQuantity(std::string_view text);

// The value (in the unit's base) written with up to `significant` digits and
// the prefix that puts it between 1 and 1000: 7.95e-05 of "m" is "79.5 µm".
// Units without prefixes keep their symbol ("12.5 °C"); zero keeps the
// prefix the unit was given in.
std::string formatQuantity(double valueInBase, const Quantity& unit, int significant = 4);

// A plain number with up to `significant` digits, trailing zeros dropped.
std::string formatNumber(double value, int significant = 4);

// A unit option's value read, or the one-line reason it is refused
// ("bad --grid-step value \"2kPa\" (give a length such as 0.5mm, ...)").
struct UnitOption {
    std::optional<Quantity> quantity;
    std::string error;
};
// --grid-step takes a length, --height-unit any quantity.
UnitOption readGridStep(std::string_view text);
UnitOption readHeightUnit(std::string_view text);

// The units a surface is read in; either may be unset (grid steps and
// height units as they come).
struct SurfaceUnits {
    std::optional<Quantity> gridStep;   // a length
    std::optional<Quantity> heightUnit; // any quantity

    bool lengths() const { return gridStep && heightUnit && heightUnit->isLength(); }
    // A height (or a difference of heights) in height units, with its unit when set.
    std::string height(double heightUnits, int significant = 4) const;
    // A distance in grid steps, with its unit when set.
    std::string distance(double gridSteps, int significant = 4) const;
};

} // namespace meshscope
