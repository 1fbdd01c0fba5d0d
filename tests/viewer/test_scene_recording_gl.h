#pragma once

// A GL target that records the calls the scene code makes, with their
// arguments, so tests can check what a frame or a set-up would draw.

#include <GL/gl.h>

#include <string>
#include <vector>

struct GlCall {
    std::string name;
    std::vector<double> args;
    bool operator==(const GlCall&) const = default;
};

class RecordingGl {
public:
    double width = 600;
    double height = 400;
    std::vector<GlCall> calls;

    double Width() const { return width; }
    double Height() const { return height; }

    void glEnable(GLenum cap) { add("glEnable", {double(cap)}); }
    void glDisable(GLenum cap) { add("glDisable", {double(cap)}); }
    void glLightfv(GLenum light, GLenum pname, const GLfloat* p)
    {
        add("glLightfv", {double(light), double(pname), p[0], p[1], p[2], p[3]});
    }
    void glMaterialfv(GLenum face, GLenum pname, const GLfloat* p)
    {
        add("glMaterialfv", {double(face), double(pname), p[0], p[1], p[2], p[3]});
    }
    void glMaterialf(GLenum face, GLenum pname, GLfloat v) { add("glMaterialf", {double(face), double(pname), v}); }
    void glShadeModel(GLenum mode) { add("glShadeModel", {double(mode)}); }
    void glClearDepth(GLdouble d) { add("glClearDepth", {d}); }
    void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { add("glClearColor", {r, g, b, a}); }
    void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
    {
        add("glViewport", {double(x), double(y), double(w), double(h)});
    }
    void glMatrixMode(GLenum mode) { add("glMatrixMode", {double(mode)}); }
    void glLoadIdentity() { add("glLoadIdentity", {}); }
    void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
    {
        add("glOrtho", {l, r, b, t, n, f});
    }
    void glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
    {
        add("glFrustum", {l, r, b, t, n, f});
    }
    void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { add("glTranslatef", {x, y, z}); }
    void glClear(GLbitfield mask) { add("glClear", {double(mask)}); }
    void glRotated(GLdouble a, GLdouble x, GLdouble y, GLdouble z) { add("glRotated", {a, x, y, z}); }
    void glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { add("glRotatef", {a, x, y, z}); }
    void glScalef(GLfloat x, GLfloat y, GLfloat z) { add("glScalef", {x, y, z}); }
    void glColor3d(GLdouble r, GLdouble g, GLdouble b) { add("glColor3d", {r, g, b}); }
    void glBegin(GLenum mode) { add("glBegin", {double(mode)}); }
    void glEnd() { add("glEnd", {}); }
    void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { add("glNormal3f", {x, y, z}); }
    void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { add("glVertex3f", {x, y, z}); }
    void glPushMatrix() { add("glPushMatrix", {}); }
    void glPopMatrix() { add("glPopMatrix", {}); }
    void glutSolidCube(GLdouble size) { add("glutSolidCube", {size}); }
    void glutSolidSphere(GLdouble r, GLint slices, GLint stacks)
    {
        add("glutSolidSphere", {r, double(slices), double(stacks)});
    }
    void PresentFrame() { add("PresentFrame", {}); }

    std::vector<GlCall> named(const std::string& name) const
    {
        std::vector<GlCall> found;
        for (const GlCall& c : calls)
            if (c.name == name)
                found.push_back(c);
        return found;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> all;
        for (const GlCall& c : calls)
            all.push_back(c.name);
        return all;
    }

private:
    void add(const char* name, std::vector<double> args) { calls.push_back({name, std::move(args)}); }
};
