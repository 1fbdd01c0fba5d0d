// The height grid as text: one "x y z" line per cell, as meshgrid writes it
// and the viewer saves the drawn grid.
#pragma once

#include <string>

#include "ViewerState.h"

namespace meshscope {

// One "x y z" line per cell of the range, x outer and y inner; z is the
// shortest text that reads back as the same Single.
std::string gridText(const HeightGrid& grid, int firstX, int lastX, int firstY, int lastY);

} // namespace meshscope
