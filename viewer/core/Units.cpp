#include "Units.h"

#include <array>
#include <charconv>
#include <cmath>

#include "DecimalNumber.h"

namespace meshscope {

namespace {

constexpr std::string_view kMicro = "\xC2\xB5";   // MICRO SIGN
constexpr std::string_view kGreekMu = "\xCE\xBC"; // GREEK SMALL LETTER MU
constexpr std::string_view kDegreeC = "\xC2\xB0"
                                      "C"; // °C

struct Prefix {
    std::string_view written;
    std::string_view shown;
    double factor;
};

// The prefixes read; the written "u" stands for µ.
constexpr std::array<Prefix, 7> kPrefixes{{{"n", "n", 1e-9},
                                           {kMicro, kMicro, 1e-6},
                                           {kGreekMu, kMicro, 1e-6},
                                           {"u", kMicro, 1e-6},
                                           {"m", "m", 1e-3},
                                           {"c", "c", 1e-2},
                                           {"k", "k", 1e3}}};

// The prefixes written, from small to large, one per factor of 1000.
constexpr std::array<Prefix, 5> kShownPrefixes{
    {{"n", "n", 1e-9}, {kMicro, kMicro, 1e-6}, {"m", "m", 1e-3}, {"", "", 1}, {"k", "k", 1e3}}};

bool takesPrefixes(std::string_view base)
{
    constexpr std::array<std::string_view, 12> kBases{"m", "Pa", "bar", "V", "A", "N", "g", "s", "Hz", "W", "K", "T"};
    for (const std::string_view known : kBases)
        if (base == known)
            return true;
    return false;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Where the number at the start of text ends: sign, digits, point, digits and
// an exponent only when digits follow its "e".
std::size_t numberLength(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    while (at < text.size() && (isDigit(text[at]) || text[at] == '.'))
        ++at;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            while (exponent < text.size() && isDigit(text[exponent]))
                ++exponent;
            at = exponent;
        }
    }
    return at;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Splits a symbol into prefix and base: a prefix counts only before a base
// that takes one, so "m" is the metre and "mm" the millimetre.
Quantity unitOf(std::string_view symbol)
{
    Quantity unit;
    unit.base = symbol == "degC" ? std::string(kDegreeC) : std::string(symbol);
    if (takesPrefixes(symbol))
        return unit;
    for (const Prefix& prefix : kPrefixes) {
        if (symbol.size() > prefix.written.size() && symbol.starts_with(prefix.written)
            && takesPrefixes(symbol.substr(prefix.written.size()))) {
            unit.prefix = prefix.shown;
            unit.prefixFactor = prefix.factor;
            unit.base = symbol.substr(prefix.written.size());
            return unit;
        }
    }
    return unit;
}

} // namespace

namespace {

// The value formatNumber writes, read back (locale-independent).
double roundedAsShown(double value, int significant)
{
    const std::string shown = formatNumber(value, significant);
    double rounded = 0;
    std::from_chars(shown.data(), shown.data() + shown.size(), rounded);
    return rounded;
}

} // namespace

std::optional<Quantity> parseQuantity(std::string_view text)
{
    text = trimmed(text);
    const std::size_t split = numberLength(text);
    const auto amount = parseDecimal(text.substr(0, split));
    const std::string_view symbol = trimmed(text.substr(split));
    if (!amount || !std::isfinite(*amount) || *amount <= 0 || symbol.empty())
        return std::nullopt;
    for (const char c : symbol)
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || isDigit(c))
            return std::nullopt;
    Quantity quantity = unitOf(symbol);
    quantity.amount = *amount;
    if (!std::isfinite(quantity.inBase()) || quantity.inBase() <= 0)
        return std::nullopt;
    return quantity;
}

std::string formatNumber(double value, int significant)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    if (value == 0)
        return "0";
    const int digitsBeforePoint = static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 1;
    const int decimals = std::max(0, significant - digitsBeforePoint);
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string out(text, result.ptr);
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0')
            out.pop_back();
        if (out.back() == '.')
            out.pop_back();
    }
    if (out == "-0")
        out = "0";
    return out;
}

std::string formatQuantity(double valueInBase, const Quantity& unit, int significant)
{
    if (!takesPrefixes(unit.base))
        return formatNumber(valueInBase / unit.prefixFactor, significant) + " " + unit.symbol();
    if (valueInBase == 0 || !std::isfinite(valueInBase))
        return formatNumber(valueInBase / unit.prefixFactor, significant) + " " + unit.symbol();
    // The largest prefix that leaves at least 1 once rounded ("1 mm", not
    // "1000 µm"), else the smallest.
    const double magnitude = std::fabs(valueInBase);
    const Prefix* chosen = &kShownPrefixes.front();
    for (const Prefix& prefix : kShownPrefixes)
        if (roundedAsShown(magnitude / prefix.factor, significant) >= 1)
            chosen = &prefix;
    return formatNumber(valueInBase / chosen->factor, significant) + " " + std::string(chosen->shown) + unit.base;
}

namespace {

// The value as one line of a message: control characters become blanks.
std::string oneLine(std::string_view text)
{
    std::string line(text);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return line;
}

} // namespace

UnitOption readGridStep(std::string_view text)
{
    UnitOption option{parseQuantity(text), {}};
    if (!option.quantity || !option.quantity->isLength()) {
        option.quantity.reset();
        option.error = "bad --grid-step value \"" + oneLine(text)
            + "\" (give the distance between neighbouring cells as a length, such as 0.5mm, 2.5 mm or 20um)";
    }
    return option;
}

UnitOption readHeightUnit(std::string_view text)
{
    UnitOption option{parseQuantity(text), {}};
    if (!option.quantity)
        option.error = "bad --height-unit value \"" + oneLine(text)
            + "\" (give what one height unit is, such as 10um, 0.01mm, 0.1kPa or 0.5\xC2\xB0"
              "C)";
    return option;
}

std::string SurfaceUnits::height(double heightUnits, int significant) const
{
    if (!heightUnit)
        return formatNumber(heightUnits, significant);
    return formatQuantity(heightUnits * heightUnit->inBase(), *heightUnit, significant);
}

std::string SurfaceUnits::distance(double gridSteps, int significant) const
{
    if (!gridStep)
        return formatNumber(gridSteps, significant);
    return formatQuantity(gridSteps * gridStep->inBase(), *gridStep, significant);
}

} // namespace meshscope
