#pragma once

// One complete frame of the viewer: the height grid as lit, height-coloured
// cells, the optional side walls and floor, the axis bars and the origin
// sphere, then PresentFrame. Templated on the GL target so tests can record
// the calls; the production target is VornCtl.

#include "SampleMarks.h"
#include "SceneColor.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace meshscope {

// heights(i, j) with the bounds check that guards every grid read: a drawn
// range outside 0..200 ends the frame before it is presented.
inline float heightAt(const ViewerState& s, int i, int j)
{
    constexpr int last = kGridSize - 1;
    if (i < 0 || i > last || j < 0 || j > last)
        throw std::out_of_range("heights(" + std::to_string(i) + ", " + std::to_string(j)
                                + ") lies outside the 0..200 grid");
    return gridHeight(s, i, j);
}

inline int gridIndex(float loopValue)
{
    return static_cast<int>(std::nearbyint(loopValue));
}

// Bound arithmetic is 16-bit as in the rest of the viewer; an overflow is an
// error rather than a silent wrap.
inline std::int16_t lastIndex(std::int16_t drawMax)
{
    if (drawMax == INT16_MIN)
        throw std::overflow_error("drawn range bound " + std::to_string(drawMax) + " minus 1 overflows");
    return static_cast<std::int16_t>(drawMax - 1);
}

template <class Gl>
void drawCell(Gl& gl, const ViewerState& s, float x, float y)
{
    const int i = gridIndex(x);
    const int j = gridIndex(y);
    const float h00 = heightAt(s, i, j);
    const float h10 = heightAt(s, i + 1, j);
    const float h01 = heightAt(s, i, j + 1);
    const float h11 = heightAt(s, i + 1, j + 1);
    setColor(gl, s, h00);
    gl.glBegin(GL_TRIANGLE_STRIP);
    gl.glNormal3f(h00 - h10, h00 - h01, 1);
    gl.glVertex3f(x, y, h00);
    gl.glVertex3f(x + 1, y, h10);
    gl.glVertex3f(x, y + 1, h01);
    gl.glVertex3f(x + 1, y + 1, h11);
    gl.glEnd();
}

// A wall segment along x at row `row` for the column starting at x.
template <class Gl>
void drawRowWall(Gl& gl, const ViewerState& s, float x, std::int16_t row, float normalY)
{
    const int i = gridIndex(x);
    const float top0 = heightAt(s, i, row);
    const float top1 = heightAt(s, i + 1, row);
    setColor(gl, s, top0);
    gl.glBegin(GL_POLYGON);
    gl.glNormal3f(0, normalY, 0);
    gl.glVertex3f(x, row, 0);
    gl.glVertex3f(x, row, top0);
    gl.glVertex3f(x + 1, row, top1);
    gl.glVertex3f(x + 1, row, 0);
    gl.glEnd();
}

// A wall segment along y at column `column` for the row starting at y.
template <class Gl>
void drawColumnWall(Gl& gl, const ViewerState& s, std::int16_t column, float y, float normalX)
{
    const int j = gridIndex(y);
    const float top0 = heightAt(s, column, j);
    const float top1 = heightAt(s, column, j + 1);
    setColor(gl, s, top0);
    gl.glBegin(GL_POLYGON);
    gl.glNormal3f(normalX, 0, 0);
    gl.glVertex3f(column, y, 0);
    gl.glVertex3f(column, y, top0);
    gl.glVertex3f(column, y + 1, top1);
    gl.glVertex3f(column, y + 1, 0);
    gl.glEnd();
}

template <class Gl>
void drawFloor(Gl& gl, const ViewerState& s)
{
    gl.glColor3d(0, 1, 1);
    gl.glBegin(GL_POLYGON);
    gl.glNormal3f(0, 0, -1);
    gl.glVertex3f(s.drawMaxX, s.drawMaxY, 0);
    gl.glVertex3f(s.drawMaxX, s.drawMinY, 0);
    gl.glVertex3f(s.drawMinX, s.drawMinY, 0);
    gl.glVertex3f(s.drawMinX, s.drawMaxY, 0);
    gl.glEnd();
}

struct AxisBar {
    double red, green, blue;
    float scaleX, scaleY, scaleZ;
    float offsetX, offsetY, offsetZ;
};

// Boxes 10 units long and 1 thick, starting at the grid corner along x, y and z.
inline constexpr AxisBar axisBars[] = {
    {1, 0, 0, 10, 1, 1, 0.5f, 0, 0},
    {0, 1, 0, 1, 10, 1, 0, 0.5f, 0},
    {0, 0, 1, 1, 1, 10, 0, 0, 0.5f},
};

template <class Gl>
void drawAxesAndOrigin(Gl& gl, const ViewerState& s)
{
    for (const AxisBar& bar : axisBars) {
        gl.glPushMatrix();
        gl.glColor3d(bar.red, bar.green, bar.blue);
        gl.glTranslatef(s.drawMinX, s.drawMinY, 0);
        gl.glScalef(bar.scaleX, bar.scaleY, bar.scaleZ);
        gl.glTranslatef(bar.offsetX, bar.offsetY, bar.offsetZ);
        gl.glutSolidCube(1);
        gl.glPopMatrix();
    }
    gl.glPushMatrix();
    gl.glColor3d(1, 0.5, 0.2);
    gl.glTranslatef(s.drawMinX, s.drawMinY, 0);
    gl.glutSolidSphere(1, 10, 10);
    gl.glPopMatrix();
}

// samples: the last frame's points marked after the surface; off, the calls
// are the frame's alone.
template <class Gl>
void paintScene(Gl& gl, ViewerState& s, bool samples = false)
{
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.glLoadIdentity();
    gl.glRotated(-90, 1, 0, 0);

    // Set after the tilt and before the view rotations, so the light stays
    // fixed relative to the viewer while the surface turns under it.
    s.lightPosition = {500.0f, -10000.0f, 2000.0f, 0.0f};
    gl.glLightfv(GL_LIGHT0, GL_POSITION, s.lightPosition.data());

    gl.glRotatef(s.rotation[0], 1, 0, 0);
    gl.glRotatef(s.rotation[1], 0, 1, 0);
    gl.glRotatef(s.rotation[2], 0, 0, 1);

    const auto spanX = static_cast<std::int16_t>(s.drawMinX - s.drawMaxX);
    const auto spanY = static_cast<std::int16_t>(s.drawMinY - s.drawMaxY);
    gl.glTranslatef(static_cast<float>(spanX / 2.0), static_cast<float>(spanY / 2.0), -50);

    const bool border = s.borderOn != 0;
    const std::int16_t lastX = lastIndex(s.drawMaxX);
    const std::int16_t lastY = lastIndex(s.drawMaxY);
    for (float x = s.drawMinX; x <= lastX; x += 1.0f) {
        for (float y = s.drawMinY; y <= lastY; y += 1.0f)
            drawCell(gl, s, x, y);
        if (border) {
            drawRowWall(gl, s, x, s.drawMaxY, 1);
            drawRowWall(gl, s, x, s.drawMinY, -1);
        }
    }
    if (border) {
        for (float y = s.drawMinY; y <= lastY; y += 1.0f) {
            drawColumnWall(gl, s, s.drawMaxX, y, 1);
            drawColumnWall(gl, s, s.drawMinX, y, -1);
        }
        drawFloor(gl, s);
    }
    if (samples)
        drawSampleMarks(gl, s);

    drawAxesAndOrigin(gl, s);
    gl.PresentFrame();
}

} // namespace meshscope
