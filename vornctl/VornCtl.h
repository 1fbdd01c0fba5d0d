#pragma once
// VornCtl, the viewport control: a widget whose methods are the OpenGL 1.1,
// GLU and GLUT shape functions, plus a few members of its own (redraw, present,
// bitmap text, data buffers) and three events (initialisation, paint, and
// framePresented after each frame reaches the window).
//
// The picture is a native double-buffered GL window inside the control.
// Programs draw straight into its back buffer and PresentFrame swaps; whenever
// the window system may have lost the picture (exposure, resize, a new screen
// or scale) the paint event follows. The accumulation buffer is the control's
// own, and the program owns every GL name.

#include "AccumBuffer.h"
#include "DataBuffer.h"
#include "TextBitmap.h"
#include "ViewportWindow.h"

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

class QOpenGLContext;

class VornCtl : public QWidget, private ViewportWindow::Listener {
    Q_OBJECT
    Q_PROPERTY(bool booleanProperty1 READ booleanProperty1 WRITE setBooleanProperty1)

public:
    explicit VornCtl(QWidget* parent = nullptr);
    ~VornCtl() override;

#define VORN_GL(ret, name, params, args) ret name params;
#define VORN_GL_OWN(ret, name, params, args) ret name params;
#define VORN_GLU(ret, name, params, args) ret name params;
#define VORN_GLU_FREE(ret, name, params, args) ret name params;
#define VORN_GLU_OWN(ret, name, params, args) ret name params;
#define VORN_GLUT(name, params, args) void name params;
#include "VornCtlMethods.inc"

    // Data-buffer forms of the functions that take a data pointer.
    void glDrawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const DataBufferRef& pixels);
    // The buffer's address is what the vertex callback receives; the control keeps
    // the buffer alive until the polygon ends or the tessellator is deleted.
    void gluTessVertex(GLUtesselator* tess, GLdouble location[3], const DataBufferRef& data);

    bool booleanProperty1() const
    {
        return booleanProperty1_;
    }
    void setBooleanProperty1(bool value)
    {
        booleanProperty1_ = value;
    }

    void RequestRedraw();
    // Paints at once, inside the caller, rather than after the events already
    // queued; asked inside a paint, as RequestRedraw. A hidden window paints
    // at its exposure.
    void RedrawNow();
    void PresentFrame();
    // Frames the swap waits for before showing a new one: 1 (the default)
    // waits for the display's refresh, 0 shows each frame at once. Taken when
    // the native window is made, so it is set before the control is shown.
    void setSwapInterval(int interval);
    // size in points at the screen's logical DPI, drawn in framebuffer pixels;
    // option: TextFontOption bit flags
    void SetTextFont(const QString& face, double size, std::int16_t option);
    // Draws text with its baseline starting at (x, y) in current GL coordinates,
    // in the current colour, and advances the raster position as bitmap text does.
    void DrawTextAt(double x, double y, const QString& text);
    // Element types: GL_BYTE, GL_UNSIGNED_BYTE, GL_SHORT, GL_UNSIGNED_SHORT,
    // GL_INT, GL_UNSIGNED_INT, GL_FLOAT, GL_DOUBLE.
    DataBufferRef CreateDataBuffer(GLenum type, std::span<const double> values);
    std::int32_t ReadDataBuffer(GLenum type, const void* address, std::span<double> values) const;

    // Placement on the parent in the form's scale units, which count the
    // framebuffer's (device) pixels: Width and Height cover the framebuffer.
    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    void setLeft(double value);
    void setTop(double value);
    void setWidth(double value);
    void setHeight(double value);
    void setScaleUnitsPerPixel(double unitsPerPixel);

    // Whether GL calls reach a context: the control has been shown and initialised.
    bool isValid() const
    {
        return initialised_;
    }
    // The GL context, once the control has been shown; null before.
    QOpenGLContext* context() const;
    // What the window shows, in framebuffer pixels, opaque; null before the
    // first exposure.
    QImage presentedImage();

signals:
    void initialization();
    void paint();
    void framePresented();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Paints what the window shows where widgets are rendered into an image
    // (grabs); on screen the native window covers it.
    void paintEvent(QPaintEvent* event) override;

private:
    // Makes the control's context current for a call made outside the events;
    // false while there is no context yet.
    bool beginCall()
    {
        return inEvent_ || bindForOutsideCall();
    }
    bool bindForOutsideCall();
    void paintIfDue();
    // The context's viewport and scissor box over the window's pixels, and
    // the initialization event: on the first exposure and on a new scale.
    void startScene();
    void passPointerThroughContainer();
    void raiseEvent(void (VornCtl::*event)(), const char* eventName);
    void ensureGlut();

    // ViewportWindow::Listener
    void windowExposed() override;
    void windowResized() override;
    void windowGoingAway() override;
    QString ownerName() const override;

    template <typename T>
    bool answerOwnQuery(GLenum pname, T* params) const;
    void runAccum(GLenum op, GLfloat value);
    void runClear(GLbitfield mask);
    PixelRect accumArea() const;
    std::vector<float> readColours(PixelRect area) const;
    void writeColours(PixelRect area, const std::vector<float>& colours);

    int toLogicalPixels(double units) const;
    QSize framebufferSize() const;
    double pixelRatio() const;

    QPointer<ViewportWindow> surface_; // owned by its container, a child widget
    QWidget* container_ = nullptr;
    QImage shownImage_; // what the window shows, read back for grabs
    bool shownImageStale_ = true;
    AccumBuffer accum_;
    bool initialised_ = false;
    double startedRatio_ = 1;  // the device pixel ratio the scene started at
    bool paintDue_ = false;    // a paint was asked for and has not run yet
    bool paintPosted_ = false; // the event that runs it is on its way
    bool inEvent_ = false;
    bool inBeginEnd_ = false;
    bool booleanProperty1_ = false;
    double unitsPerPixel_ = 1.0;
    QString textFontFace_;
    double textFontSize_ = 12;
    std::int16_t textFontOption_ = 0;
    std::map<GLUtesselator*, std::vector<DataBufferRef>> tessData_;

    // Display lists holding accumulation calls. GL cannot record those (the
    // accumulation buffer is the control's), so such a list becomes steps:
    // GL lists with the calls in between, and the accumulation calls themselves.
    struct ListStep {
        enum Kind { Segment, Accum, Clear, Call } kind;
        GLuint list = 0;     // Segment: the GL name of the piece; Call: the program's list called
        GLenum op = 0;       // Accum
        GLfloat value = 0;   // Accum
        GLbitfield mask = 0; // Clear
    };
    void recordListStep(const ListStep& step);
    void runListStep(const ListStep& step, int depth);
    void callList(GLuint list, int depth);
    void dropListSteps(GLuint list);
    std::map<GLuint, std::vector<ListStep>> listSteps_; // by the program's list name
    GLuint compiling_ = 0;                              // the program's list being compiled, 0 when none
    GLenum compileMode_ = 0;

    // The program's list names map to GL names that the control hands out, so
    // the pieces of lists with accumulation calls never take a name the program
    // may choose, and glGenLists answers as a window's context does.
    GLuint glListName(GLuint list, bool create);
    bool listExists(GLuint list) const;
    GLuint freeListBlock(GLsizei range) const;
    std::map<GLuint, GLuint> glListNames_; // program name -> GL name
    GLuint nextGlListName_ = 1;
    GLuint highestListName_ = 0; // the highest program name ever defined
};
