#pragma once

// Where the samples are: a small white box at the column, row and height of
// each point of the last accepted frame (on a difference or a levelled
// surface, moved with it), drawn after the surface and through it, so a
// sample under a smoothed peak still shows.

#include "ViewerState.h"

#include <GL/gl.h>

namespace meshscope {

template <class Gl>
void drawSampleMarks(Gl& gl, const ViewerState& s)
{
    const InterpolatedFrame& frame = s.interpolated;
    if (!frame.valid)
        return;
    gl.glDisable(GL_DEPTH_TEST);
    for (int k = 0; k <= frame.lastPoint && k < kMaxPoints; ++k) {
        const auto u = static_cast<std::size_t>(k);
        gl.glPushMatrix();
        gl.glColor3d(1, 1, 1);
        const float z = s.markHeights ? (*s.markHeights)[u] : frame.ptZ[u];
        gl.glTranslatef(frame.ptX[u], frame.ptY[u], z);
        gl.glutSolidCube(1.5);
        gl.glPopMatrix();
    }
    gl.glEnable(GL_DEPTH_TEST); // as the scene set-up leaves it
}

} // namespace meshscope
