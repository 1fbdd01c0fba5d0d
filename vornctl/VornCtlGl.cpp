// The OpenGL, GLU and GLUT methods of VornCtl. Most are plain wrappers that make
// the control's context current and call the library; the rest keep the
// control's state (queries it answers itself, data buffers, tessellation).
// The accumulation buffer and display lists have files of their own.

#include "VornCtl.h"

#include <QGuiApplication>
#include <QOpenGLContext>

#include <GL/freeglut.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace {

// The result a call gives while there is no context: nothing, zero or null.
template <typename T>
T noResult()
{
    if constexpr (!std::is_void_v<T>)
        return T{};
}

bool isAccumBitsQuery(GLenum pname)
{
    return pname == GL_ACCUM_RED_BITS || pname == GL_ACCUM_GREEN_BITS || pname == GL_ACCUM_BLUE_BITS
        || pname == GL_ACCUM_ALPHA_BITS;
}

// Bytes glDrawPixels reads for the image under the current unpack settings, or
// nothing for a format or type whose size the control does not work out.
std::optional<std::size_t> unpackedImageBytes(GLsizei width, GLsizei height, GLenum format, GLenum type)
{
    std::size_t components = 0;
    switch (format) {
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_COLOR_INDEX:
    case GL_STENCIL_INDEX:
    case GL_DEPTH_COMPONENT: components = 1; break;
    case GL_LUMINANCE_ALPHA: components = 2; break;
    case GL_RGB:
    case GL_BGR: components = 3; break;
    case GL_RGBA:
    case GL_BGRA: components = 4; break;
    default: return std::nullopt;
    }
    const std::size_t elementBytes = DataBuffer::elementSize(type);
    if (elementBytes == 0)
        return std::nullopt;
    if (width <= 0 || height <= 0)
        return 0; // GL reads nothing (and reports a negative size itself)
    GLint rowLength = 0, skipRows = 0, skipPixels = 0, alignment = 4;
    ::glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    ::glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows);
    ::glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels);
    ::glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    const std::size_t pixelsPerRow = rowLength > 0 ? rowLength : width;
    std::size_t rowBytes = pixelsPerRow * components * elementBytes;
    if (elementBytes < static_cast<std::size_t>(alignment))
        rowBytes = (rowBytes + alignment - 1) / alignment * alignment;
    return (skipRows + height - 1) * rowBytes + (skipPixels + width) * components * elementBytes;
}

} // namespace

// ---- generated wrappers ----------------------------------------------------

#define VORN_GL(ret, name, params, args)                                                                               \
    ret VornCtl::name params                                                                                           \
    {                                                                                                                  \
        if (!beginCall())                                                                                              \
            return noResult<ret>();                                                                                    \
        return ::name args;                                                                                            \
    }
#define VORN_GL_OWN(ret, name, params, args)
#define VORN_GLU(ret, name, params, args) VORN_GL(ret, name, params, args)
#define VORN_GLU_FREE(ret, name, params, args)                                                                         \
    ret VornCtl::name params                                                                                           \
    {                                                                                                                  \
        return ::name args;                                                                                            \
    }
#define VORN_GLU_OWN(ret, name, params, args)
#define VORN_GLUT(name, params, args)                                                                                  \
    void VornCtl::name params                                                                                          \
    {                                                                                                                  \
        if (!beginCall())                                                                                              \
            return;                                                                                                    \
        ensureGlut();                                                                                                  \
        ::name args;                                                                                                   \
    }
#include "VornCtlMethods.inc"

void VornCtl::ensureGlut()
{
    // Asked of freeglut, so that another part of the program may have initialised it.
    if (::glutGet(GLUT_INIT_STATE))
        return;
    // freeglut talks to the X server itself and would end the process without one.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        throw std::runtime_error("GLUT shapes need the X11 platform (start the program with -platform xcb)");
    int argc = 1;
    char name[] = "vorn";
    char* argv[] = {name, nullptr};
    ::glutInit(&argc, argv);
}

// ---- calls with state of the control -------------------------------------

void VornCtl::glBegin(GLenum mode)
{
    if (!beginCall())
        return;
    ::glBegin(mode);
    inBeginEnd_ = true;
}

void VornCtl::glEnd()
{
    if (!beginCall())
        return;
    ::glEnd();
    inBeginEnd_ = false;
}

// What a window with a float accumulation buffer answers for the state that
// the control keeps itself; false for everything GL answers.
template <typename T>
bool VornCtl::answerOwnQuery(GLenum pname, T* params) const
{
    std::optional<GLint> answer;
    if (isAccumBitsQuery(pname))
        answer = 32; // one float per channel
    else if (pname == GL_LIST_INDEX && compiling_)
        answer = static_cast<GLint>(compiling_); // the program's name, not the GL name of the piece
    if (!answer)
        return false;
    if constexpr (std::is_same_v<T, GLboolean>)
        *params = *answer != 0 ? GL_TRUE : GL_FALSE;
    else
        *params = static_cast<T>(*answer);
    return true;
}

void VornCtl::glGetBooleanv(GLenum pname, GLboolean* params)
{
    if (beginCall() && !answerOwnQuery(pname, params))
        ::glGetBooleanv(pname, params);
}

void VornCtl::glGetIntegerv(GLenum pname, GLint* params)
{
    if (beginCall() && !answerOwnQuery(pname, params))
        ::glGetIntegerv(pname, params);
}

void VornCtl::glGetFloatv(GLenum pname, GLfloat* params)
{
    if (beginCall() && !answerOwnQuery(pname, params))
        ::glGetFloatv(pname, params);
}

void VornCtl::glGetDoublev(GLenum pname, GLdouble* params)
{
    if (beginCall() && !answerOwnQuery(pname, params))
        ::glGetDoublev(pname, params);
}

void VornCtl::glDrawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const DataBufferRef& pixels)
{
    if (!beginCall())
        return;
    if (!pixels)
        throw std::invalid_argument("glDrawPixels: no data buffer given (create one with CreateDataBuffer)");
    const auto needed = unpackedImageBytes(width, height, format, type);
    if (!needed)
        throw std::invalid_argument("glDrawPixels: format " + std::to_string(format) + " with type "
                                    + std::to_string(type)
                                    + " cannot be read from a data buffer (use GL_RGBA and a buffer's element type)");
    if (*needed > pixels->byteSize())
        throw std::length_error("glDrawPixels: a " + std::to_string(width) + " x " + std::to_string(height)
                                + " image needs " + std::to_string(*needed) + " bytes but the data buffer holds "
                                + std::to_string(pixels->byteSize()) + " (make the buffer larger)");
    ::glDrawPixels(width, height, format, type, pixels->data());
}

// ---- tessellation with data buffers ----------------------------------------

void VornCtl::gluTessVertex(GLUtesselator* tess, GLdouble location[3], const DataBufferRef& data)
{
    // GLU hands the address back only inside gluTessEndPolygon: hold the buffer until then.
    if (data)
        tessData_[tess].push_back(data);
    ::gluTessVertex(tess, location, data ? data->data() : nullptr);
}

void VornCtl::gluTessBeginPolygon(GLUtesselator* tess, GLvoid* data)
{
    tessData_.erase(tess);
    ::gluTessBeginPolygon(tess, data);
}

void VornCtl::gluTessEndPolygon(GLUtesselator* tess)
{
    ::gluTessEndPolygon(tess);
    tessData_.erase(tess);
}

void VornCtl::gluDeleteTess(GLUtesselator* tess)
{
    ::gluDeleteTess(tess);
    tessData_.erase(tess);
}
