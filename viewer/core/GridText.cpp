#include "GridText.h"

#include <charconv>

namespace meshscope {

std::string gridText(const HeightGrid& grid, int firstX, int lastX, int firstY, int lastY)
{
    std::string out;
    char number[32];
    for (int x = firstX; x <= lastX; ++x) {
        for (int y = firstY; y <= lastY; ++y) {
            out += std::to_string(x);
            out += ' ';
            out += std::to_string(y);
            out += ' ';
            const auto result = std::to_chars(number, number + sizeof number, grid[x][y]);
            out.append(number, result.ptr);
            out += '\n';
        }
    }
    return out;
}

} // namespace meshscope
