#pragma once
// VornCtl, the viewport control: an OpenGL widget whose methods are the OpenGL 1.1,
// GLU and GLUT shape functions, plus a few members of its own (redraw, present,
// bitmap text, data buffers) and two events (initialisation, paint).
//
// The picture is a native child window with its own double-buffered GL surface,
// so a frame reaches the screen in one swap and repainting the widgets around or
// above it never recomposes it. Programs draw into a framebuffer the control
// owns; PresentFrame copies the finished frame to a second one, the presented
// picture, and from there to the window. So a paint that ends early leaves the
// last presented picture on screen, an exposed window is shown again without a
// paint, and the working picture persists from one paint to the next.

#include "AccumBuffer.h"
#include "DataBuffer.h"
#include "TextBitmap.h"

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
class QOpenGLFramebufferObject;
class VornCtlSurface;

class VornCtl : public QWidget {
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
#include "GlFunctions.def"
#include "GluFunctions.def"
#include "GlutShapes.def"
#undef VORN_GL
#undef VORN_GL_OWN
#undef VORN_GLU
#undef VORN_GLU_FREE
#undef VORN_GLU_OWN
#undef VORN_GLUT

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
    void PresentFrame();
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
    QOpenGLContext* context() const
    {
        return context_.get();
    }
    // The presented picture in framebuffer pixels, opaque; null before the first frame.
    QImage presentedImage();

signals:
    void initialization();
    void paint();
    void framePresented();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Paints the presented picture where widgets are rendered into an image
    // (grabs); on screen the native window covers it.
    void paintEvent(QPaintEvent* event) override;

private:
    // Makes the control's context current and its working framebuffer bound for a
    // call made outside the events; false while there is no context yet.
    bool beginCall()
    {
        return inEvent_ || (workFbo_ && bindForOutsideCall());
    }
    bool bindForOutsideCall();
    void makeCurrent();
    void bindWorkFramebuffer();
    void createFramebuffers();
    void startLikeAWindow();
    void releaseGl();
    void showPresented();
    void paintIfDue();

    friend class VornCtlSurface;
    void surfaceExposed();
    void surfaceAboutToBeDestroyed();
    QString ownerName() const;
    void raiseEvent(void (VornCtl::*event)(), const char* eventName);
    void restoreViewport();
    void keepViewport();
    void ensureGlut();

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

    QPointer<VornCtlSurface> surface_; // owned by its container, a child widget
    QWidget* container_ = nullptr;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOpenGLFramebufferObject> workFbo_;
    std::unique_ptr<QOpenGLFramebufferObject> shownFbo_; // the presented picture
    QImage shownImage_;                                  // its read-back, for grabs
    bool shownImageStale_ = true;
    AccumBuffer accum_;
    bool initialised_ = false;
    bool paintDue_ = false;    // a paint was asked for and has not run yet
    bool paintPosted_ = false; // the event that runs it is on its way
    bool swapDue_ = false;     // a presented frame not yet swapped onto the window
    bool inEvent_ = false;
    bool inBeginEnd_ = false;
    bool booleanProperty1_ = false;
    std::array<GLint, 4> viewport_{}; // the context's viewport between Qt's resets
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
        GLuint list = 0;     // Segment: the GL list to call; Call: the list called
        GLenum op = 0;       // Accum
        GLfloat value = 0;   // Accum
        GLbitfield mask = 0; // Clear
    };
    void recordListStep(const ListStep& step);
    void runListStep(const ListStep& step, int depth);
    void callList(GLuint list, int depth);
    void dropListSteps(GLuint list);
    std::map<GLuint, std::vector<ListStep>> listSteps_;
    GLuint compiling_ = 0; // the list being compiled, 0 when none
    GLenum compileMode_ = 0;

    // Window-system buffer names the program chose; both map to the one
    // colour attachment, and reading GL_FRONT reads the presented picture.
    GLenum drawBuffer_ = GL_BACK;
    GLenum readBuffer_ = GL_BACK;
    bool readsFront() const
    {
        return readBuffer_ == GL_FRONT || readBuffer_ == GL_FRONT_LEFT;
    }
};
