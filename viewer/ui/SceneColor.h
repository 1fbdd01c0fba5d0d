#pragma once

// The two hooks the paint needs from the viewer state: a grid height and the
// height colour (the colour mode's, or fitted colours when set), issued as
// one glColor3d on the GL target.

#include "ColorMap.h"
#include "ViewerState.h"

namespace meshscope {

inline float gridHeight(const ViewerState& s, int i, int j)
{
    return s.heights[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

template <class Gl>
void setColor(Gl& gl, const ViewerState& s, float z)
{
    const Rgb c = s.fittedColours ? fittedColor(z, *s.fittedColours) : setColor(z, s.colorMode);
    gl.glColor3d(c[0], c[1], c[2]);
}

} // namespace meshscope
