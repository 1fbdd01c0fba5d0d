// The status line's number-to-text conversion over every float and double
// bit pattern: short text with a sign column, and finite values read back
// to within the digits written.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "DecimalNumber.h"
#include "FuzzHost.h"
#include "StatusText.h"

using namespace meshscope;

namespace {

// The longest text: sign, 17 significant digits, point and a 4-character exponent.
constexpr std::size_t kLongestText = 26;

void checkText(const std::string& text, double value, int digits)
{
    if (text.empty() || text.size() > kLongestText)
        fuzz::fail("number text empty or too long");
    if (text.front() != ' ' && text.front() != '-')
        fuzz::fail("number text without its sign column");
    if (!std::isfinite(value))
        return;
    // Near the largest double, rounding to fewer digits may pass it ("2E+308").
    if (std::fabs(value) > 1e307)
        return;
    if ((text.front() == '-') != (value < 0))
        fuzz::fail("sign column disagrees with the value");
    // The status line writes ".5" for 0.5; parseDecimal wants a digit first.
    std::string readable = text;
    const std::size_t point = readable.find('.');
    if (point != std::string::npos && (point == 0 || readable[point - 1] == ' ' || readable[point - 1] == '-'))
        readable.insert(point, 1, '0');
    const auto back = parseDecimal(readable);
    if (!back)
        fuzz::fail("number text does not read back as a number");
    const double tolerance = std::fabs(value) * std::pow(10.0, 1 - digits);
    if (std::fabs(*back - value) > tolerance && !(std::fabs(value) < 1e-300))
        fuzz::fail("number text reads back to another value");
}

template <typename T>
T takeBits(const std::uint8_t* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size >= sizeof(float)) {
        const auto single = takeBits<float>(data);
        checkText(numberText(single), single, 7);
    }
    if (size >= sizeof(double)) {
        const auto value = takeBits<double>(data);
        checkText(numberText(value), value, 15);
        if (size > sizeof(double)) {
            const int digits = 1 + data[sizeof(double)] % 17;
            checkText(numberText(value, digits), value, digits);
        }
    }
    if (size >= sizeof(std::int32_t)) {
        const auto count = takeBits<std::int32_t>(data);
        const std::string text = numberText(count);
        if (text.size() > 11 || (text.front() == '-') != (count < 0))
            fuzz::fail("counter text malformed");
    }
    return 0;
}
