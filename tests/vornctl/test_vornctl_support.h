#pragma once
// Shared pieces of the viewport-control tests: an application on the X11
// platform, a window holding one or two controls, and a look at what the
// screen shows.

#include "TestApplication.h"
#include "VornCtl.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <GL/freeglut.h>

#include <functional>

inline QApplication& testApp()
{
    return testApplication("vorntest");
}

// A window with a control at its top-left corner whose events run the test's code.
struct ViewportHost {
    explicit ViewportHost(int width = 160, int height = 120)
    {
        window.resize(width, height);
        ctl = new VornCtl(&window);
        ctl->setObjectName(QStringLiteral("VornCtl1"));
        ctl->setGeometry(0, 0, width, height);
        QObject::connect(ctl, &VornCtl::initialization, [this] {
            if (onInit)
                onInit(*ctl);
        });
        QObject::connect(ctl, &VornCtl::paint, [this] {
            if (onPaint)
                onPaint(*ctl);
        });
    }

    // Shows the window and waits for its first presented frame.
    bool show()
    {
        QSignalSpy presented(ctl, &VornCtl::framePresented);
        window.show();
        return QTest::qWaitForWindowExposed(&window) && (presented.count() > 0 || presented.wait(5000));
    }

    // Waits for the next presented frame; false if none comes.
    bool nextFrame(const std::function<void()>& trigger)
    {
        QSignalSpy presented(ctl, &VornCtl::framePresented);
        trigger();
        return presented.wait(5000);
    }

    bool redraw()
    {
        return nextFrame([this] { ctl->RequestRedraw(); });
    }

    // What the window shows now, in the control's pixels (y downwards).
    QImage screen()
    {
        QCoreApplication::processEvents();
        return window.screen()
            ->grabWindow(window.winId(), ctl->x(), ctl->y(), ctl->width(), ctl->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    QApplication& app = testApp(); // before any widget
    QWidget window;
    VornCtl* ctl;
    std::function<void(VornCtl&)> onInit;
    std::function<void(VornCtl&)> onPaint;
};

inline bool near(QRgb pixel, int red, int green, int blue, int tolerance = 2)
{
    return std::abs(qRed(pixel) - red) <= tolerance && std::abs(qGreen(pixel) - green) <= tolerance
        && std::abs(qBlue(pixel) - blue) <= tolerance;
}

inline void fill(VornCtl& ctl, float red, float green, float blue)
{
    ctl.glClearColor(red, green, blue, 1);
    ctl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// A double-buffered freeglut window with an accumulation buffer, to ask GL
// itself what a window's context answers. Its context is current from
// construction on; make one before the controls draw, as Qt does not know it.
struct PlainGlWindow {
    PlainGlWindow(int width, int height)
    {
        testApp();
        if (!glutGet(GLUT_INIT_STATE)) {
            static int argc = 1;
            static char name[] = "plaingl";
            static char* argv[] = {name, nullptr};
            glutInit(&argc, argv);
        }
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_ACCUM);
        glutInitWindowSize(width, height);
        id = glutCreateWindow("plain GL");
        glutDisplayFunc([] {});
        glutReshapeFunc([](int, int) {}); // leave the viewport as GL keeps it
        for (int i = 0; i < 10; ++i)
            glutMainLoopEvent();
        glutSetWindow(id);
    }
    ~PlainGlWindow()
    {
        glutDestroyWindow(id);
        glutMainLoopEvent();
    }

    // The calls the comparisons make, under the control's method names.
    void glGetBooleanv(GLenum p, GLboolean* v) { ::glGetBooleanv(p, v); }
    void glGetIntegerv(GLenum p, GLint* v) { ::glGetIntegerv(p, v); }
    void glGetFloatv(GLenum p, GLfloat* v) { ::glGetFloatv(p, v); }
    void glGetDoublev(GLenum p, GLdouble* v) { ::glGetDoublev(p, v); }
    void glClearAccum(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { ::glClearAccum(r, g, b, a); }
    void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { ::glClearColor(r, g, b, a); }
    void glClear(GLbitfield mask) { ::glClear(mask); }
    void glAccum(GLenum op, GLfloat value) { ::glAccum(op, value); }
    void glPushAttrib(GLbitfield mask) { ::glPushAttrib(mask); }
    void glPopAttrib() { ::glPopAttrib(); }
    GLuint glGenLists(GLsizei n) { return ::glGenLists(n); }
    void glNewList(GLuint list, GLenum mode) { ::glNewList(list, mode); }
    void glEndList() { ::glEndList(); }
    void glCallList(GLuint list) { ::glCallList(list); }
    void glCallLists(GLsizei n, GLenum type, const GLvoid* lists) { ::glCallLists(n, type, lists); }
    void glReadBuffer(GLenum mode) { ::glReadBuffer(mode); }
    GLboolean glIsTexture(GLuint name) { return ::glIsTexture(name); }
    GLboolean glIsList(GLuint name) { return ::glIsList(name); }
    void glGenTextures(GLsizei n, GLuint* names) { ::glGenTextures(n, names); }
    void glBindTexture(GLenum target, GLuint name) { ::glBindTexture(target, name); }
    void glTexParameteri(GLenum target, GLenum p, GLint v) { ::glTexParameteri(target, p, v); }
    void glTexImage2D(GLenum t, GLint l, GLint i, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum ty, const void* p)
    {
        ::glTexImage2D(t, l, i, w, h, b, f, ty, p);
    }
    void glEnable(GLenum cap) { ::glEnable(cap); }
    void glDisable(GLenum cap) { ::glDisable(cap); }
    void glBegin(GLenum mode) { ::glBegin(mode); }
    void glEnd() { ::glEnd(); }
    void glTexCoord2f(GLfloat s, GLfloat t) { ::glTexCoord2f(s, t); }
    void glVertex2f(GLfloat x, GLfloat y) { ::glVertex2f(x, y); }
    void glColor3f(GLfloat r, GLfloat g, GLfloat b) { ::glColor3f(r, g, b); }
    void glReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, GLvoid* p)
    {
        ::glReadPixels(x, y, w, h, f, t, p);
    }

    int id = 0;
};
