#include "Frames.h"

#include <algorithm>
#include <cmath>

namespace {

// Van der Corput sequence in the given base: values in [0, 1) that spread
// evenly, so successive frames cover the grid without clumping.
double radicalInverse(long long n, int base)
{
    double result = 0.0;
    double scale = 1.0 / base;
    for (; n > 0; n /= base, scale /= base)
        result += double(n % base) * scale;
    return result;
}

int gridIndex(double unit)
{
    return 1 + int(std::lround(unit * 99.0));
}

double surfaceHeight(int x, int y, double t)
{
    const double ridge = std::sin(x / 14.0 + t) * std::cos(y / 18.0 - 0.6 * t);
    const double swell = std::sin((x + y) / 30.0 + 0.3 * t);
    return 25.0 + 16.0 * ridge + 8.0 * swell;
}

std::string item(int x, int y, int z)
{
    return std::to_string(x) + ',' + std::to_string(y) + ',' + std::to_string(z);
}

} // namespace

std::string waveFrame(long long index, int points)
{
    const double t = double(index) * 0.08;
    std::string frame = "<";
    for (int k = 0; k < points; ++k) {
        const long long n = index * points + k + 1;
        const int x = gridIndex(radicalInverse(n, 2));
        const int y = gridIndex(radicalInverse(n, 3));
        const int z = std::clamp(int(std::lround(surfaceHeight(x, y, t))), 0, 50);
        if (k > 0)
            frame += ';';
        frame += item(x, y, z);
    }
    return frame + '>';
}

std::string randomFrame(std::mt19937& generator)
{
    std::uniform_int_distribution<int> count(2, 21);
    std::uniform_int_distribution<int> place(1, 100);
    std::uniform_int_distribution<int> height(0, 60);
    std::bernoulli_distribution blank(0.5);
    const int points = count(generator);
    std::string frame = "<";
    for (int k = 0; k < points; ++k) {
        if (k > 0)
            frame += blank(generator) ? "; " : ";";
        const int x = place(generator);
        const int y = place(generator);
        frame += item(x, y, height(generator));
    }
    return frame + '>';
}
