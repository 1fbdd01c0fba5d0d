#include "StatusText.h"

#include <charconv>
#include <cstdlib>

namespace meshscope {

namespace {

std::string toChars(double value, std::chars_format format, int precision)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    return std::string(buffer, result.ptr);
}

void stripTrailingZeros(std::string& text)
{
    if (text.find('.') == std::string::npos)
        return;
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
}

// Scientific text whose negative exponent still fits the digits is written
// as a plain decimal instead (1.5E-05 as 0.000015).
std::string plainWhenItFits(const std::string& scientific, int digits)
{
    const std::size_t e = scientific.find('e');
    if (e == std::string::npos)
        return scientific;
    const int exponent = std::atoi(scientific.c_str() + e + 1);
    const std::size_t point = scientific.find('.');
    const int fractionDigits = point == std::string::npos || point > e ? 0 : static_cast<int>(e - point - 1);
    if (exponent < 0 && -exponent + fractionDigits - 1 < digits) {
        std::string plain
            = toChars(std::strtod(scientific.c_str(), nullptr), std::chars_format::fixed, -exponent + fractionDigits);
        stripTrailingZeros(plain);
        return plain;
    }
    std::string upper = scientific;
    upper[e] = 'E';
    return upper;
}

} // namespace

std::string numberText(double value, int digits)
{
    if (value == 0)
        value = 0; // negative zero is written as zero
    std::string text = plainWhenItFits(toChars(value, std::chars_format::general, digits), digits);
    if (text.starts_with("0."))
        text.erase(0, 1);
    else if (text.starts_with("-0."))
        text.erase(1, 1);
    if (!text.starts_with('-'))
        text.insert(0, 1, ' ');
    return text;
}

std::string numberText(float value)
{
    return numberText(static_cast<double>(value), 7);
}
std::string numberText(double value)
{
    return numberText(value, 15);
}

std::string numberText(std::int32_t value)
{
    std::string text = std::to_string(value);
    if (value >= 0)
        text.insert(0, 1, ' ');
    return text;
}

std::string statusText(const ViewerState& state)
{
    return "x=" + numberText(state.rotation[0]) + " y=" + numberText(state.rotation[1])
        + " z=" + numberText(state.rotation[2]) + " zoom=" + numberText(state.zoom)
        + " [Interp. Count=" + numberText(state.interpCount) + "; OK=" + numberText(state.okCount) + "]";
}

void updateStatus(const ViewerState& state, ViewerHost& host)
{
    host.setStatusText(statusText(state));
}

} // namespace meshscope
