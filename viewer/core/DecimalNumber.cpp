#include "DecimalNumber.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace meshscope {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// True when text (sign already removed) is digits[.digits][e[sign]digits]
// with at least one digit in the mantissa.
bool isPlainDecimal(std::string_view text)
{
    std::size_t i = 0;
    std::size_t mantissaDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == text.size();
}

// For a plain decimal out of double range: true when it is too small rather
// than too large, judged by the position of its first significant digit.
bool isTiny(std::string_view text)
{
    long magnitude = 0; // decimal exponent of the first non-zero digit, roughly
    bool seenPoint = false;
    bool seenSignificant = false;
    std::size_t i = 0;
    for (; i < text.size() && (isDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.') {
            seenPoint = true;
            continue;
        }
        if (!seenSignificant && text[i] != '0')
            seenSignificant = true;
        if (!seenPoint && seenSignificant)
            ++magnitude;
        if (seenPoint && !seenSignificant)
            --magnitude;
    }
    if (i < text.size()) { // exponent
        // Any exponent beyond a billion decides alone; bounding it keeps the
        // sum from overflowing, also for exponents a long cannot hold.
        constexpr long bound = 1'000'000'000;
        const char* first = text.data() + i + 1 + (text[i + 1] == '+');
        long exponent = 0;
        if (std::from_chars(first, text.data() + text.size(), exponent).ec == std::errc::result_out_of_range)
            exponent = *first == '-' ? -bound : bound;
        magnitude += std::clamp(exponent, -bound, bound);
    }
    return magnitude < 0;
}

} // namespace

std::optional<double> parseDecimal(std::string_view text)
{
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!isPlainDecimal(text))
        return std::nullopt;

    double value = 0;
    const auto [end, error]
        = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    // Underflow to zero is still a number; overflow is not.
    if (error == std::errc::result_out_of_range) {
        if (!isTiny(text))
            return std::nullopt;
        value = 0;
    } else if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (!std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

bool isDecimalText(std::string_view text)
{
    text = trimBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    return isPlainDecimal(text);
}

std::optional<std::int16_t> roundToInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::optional<std::int32_t> roundToInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

} // namespace meshscope
