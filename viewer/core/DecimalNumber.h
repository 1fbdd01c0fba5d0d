// Reading numbers written in plain decimal notation, independent of the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace meshscope {

// Reads optional blanks, an optional sign, digits with an optional decimal
// point and an optional exponent, then optional blanks. Anything else
// (empty text, hex, "inf", "nan", thousands separators) is not a number.
// Values that overflow a double are not numbers either.
std::optional<double> parseDecimal(std::string_view text);

// True when text is written in that notation, whether or not its value fits
// a double.
bool isDecimalText(std::string_view text);

// Rounds to the nearest integer, halves to even; empty when the result does
// not fit a 16-bit signed integer or the value is not finite.
std::optional<std::int16_t> roundToInt16(double value);

// As roundToInt16, for a 32-bit signed integer.
std::optional<std::int32_t> roundToInt32(double value);

} // namespace meshscope
