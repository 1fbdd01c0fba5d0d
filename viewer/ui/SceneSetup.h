#pragma once

// The viewer's scene set-up: depth test, one light, the front material, the
// clear values, the viewport and a projection framing the drawn columns at the
// current zoom. Templated on the GL target so tests can record the calls.

#include "ViewerState.h"

#include <GL/gl.h>

#include <cstdint>
#include <optional>

namespace meshscope {

struct ViewVolume {
    double left = 0;
    double right = 0;
    double bottom = 0;
    double top = 0;
};

// Horizontal half-width of the view volume before the aspect correction
// (negative or zero while drawMaxX >= drawMinX).
inline double viewLeftFor(std::int16_t drawMinX, std::int16_t drawMaxX, double zoom, bool orthographic)
{
    const auto span = static_cast<std::int16_t>(drawMinX - drawMaxX);
    double left = span / zoom;
    if (!orthographic)
        left *= 0.5;
    return left;
}

// Stretches the horizontal bounds along the longer side of a w x h viewport.
// Empty when either side is zero: there is no shape to match.
inline std::optional<ViewVolume> viewVolumeFor(double viewLeft, double viewRight, float w, float h)
{
    if (w == 0 || h == 0)
        return std::nullopt;
    if (h >= w)
        return ViewVolume{viewLeft, viewRight, viewLeft * h / w, viewRight * h / w};
    return ViewVolume{viewLeft * w / h, viewRight * w / h, viewLeft, viewRight};
}

// Issues the set-up calls on gl, writes s.viewLeft and s.viewRight, and leaves
// GL_MODELVIEW current. The caller then (re-)enables the animation timer.
template <class Gl>
void setUpScene(Gl& gl, ViewerState& s)
{
    gl.glEnable(GL_DEPTH_TEST);
    gl.glEnable(GL_NORMALIZE);

    gl.glLightfv(GL_LIGHT0, GL_AMBIENT, s.lightAmbient.data());
    gl.glLightfv(GL_LIGHT0, GL_DIFFUSE, s.lightDiffuse.data());
    gl.glLightfv(GL_LIGHT0, GL_SPECULAR, s.lightSpecular.data());

    gl.glMaterialfv(GL_FRONT, GL_SPECULAR, s.matSpecular.data());
    gl.glMaterialfv(GL_FRONT, GL_AMBIENT, s.matAmbient.data());
    gl.glMaterialfv(GL_FRONT, GL_DIFFUSE, s.matDiffuse.data());
    gl.glMaterialf(GL_FRONT, GL_SHININESS, s.shininess);

    gl.glShadeModel(GL_SMOOTH);
    gl.glEnable(GL_LIGHTING);
    gl.glEnable(GL_LIGHT0);
    gl.glEnable(GL_COLOR_MATERIAL);

    gl.glClearDepth(1);
    gl.glClearColor(0, 0, 0, 0);

    const auto w = static_cast<float>(gl.Width());
    const auto h = static_cast<float>(gl.Height());
    gl.glViewport(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h));

    s.viewLeft = viewLeftFor(s.drawMinX, s.drawMaxX, s.zoom, s.orthographic != 0);
    s.viewRight = -s.viewLeft;

    // A minimised viewport has no shape: keep the last projection rather
    // than dividing by a zero side.
    const auto volume
        = viewVolumeFor(s.viewLeft, s.viewRight, static_cast<float>(gl.Width()), static_cast<float>(gl.Height()));
    if (volume) {
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadIdentity();
        if (s.orthographic != 0) {
            gl.glOrtho(volume->left, volume->right, volume->bottom, volume->top, -150, 150);
        } else {
            gl.glFrustum(volume->left, volume->right, volume->bottom, volume->top, 100, 400);
            gl.glTranslatef(0, 0, -250);
        }
    }
    gl.glMatrixMode(GL_MODELVIEW);
}

} // namespace meshscope
