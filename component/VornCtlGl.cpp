// The OpenGL, GLU and GLUT methods of VornCtl. Most are plain wrappers that make
// the control's context current and call the library; the rest add what a
// framebuffer object lacks (the accumulation buffer) or keep the control's state.

#include "VornCtl.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>

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

// Window-system names of colour buffers mean the one colour attachment here.
GLenum colourAttachmentFor(GLenum mode)
{
    switch (mode) {
    case GL_FRONT:
    case GL_BACK:
    case GL_LEFT:
    case GL_FRONT_LEFT:
    case GL_BACK_LEFT:
    case GL_FRONT_AND_BACK: return GL_COLOR_ATTACHMENT0;
    }
    return mode;
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
#include "GlFunctions.def"
#include "GluFunctions.def"
#include "GlutShapes.def"
#undef VORN_GL
#undef VORN_GL_OWN
#undef VORN_GLU
#undef VORN_GLU_FREE
#undef VORN_GLU_OWN
#undef VORN_GLUT

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

void VornCtl::glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (!beginCall())
        return;
    ::glViewport(x, y, width, height);
    keepViewport(); // as GL took it: clamped, or unchanged after an error
}

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

void VornCtl::glDrawBuffer(GLenum mode)
{
    if (!beginCall())
        return;
    ::glDrawBuffer(colourAttachmentFor(mode));
    if (colourAttachmentFor(mode) != mode)
        drawBuffer_ = mode;
}

void VornCtl::glReadBuffer(GLenum mode)
{
    if (!beginCall())
        return;
    ::glReadBuffer(colourAttachmentFor(mode));
    if (colourAttachmentFor(mode) != mode && mode != GL_FRONT_AND_BACK) {
        readBuffer_ = mode;
        bindWorkFramebuffer(); // reading the front means reading the presented picture
    }
}

// What a double-buffered window with a float accumulation buffer answers for
// the state that the control keeps itself; false for everything GL answers.
template <typename T>
bool VornCtl::answerOwnQuery(GLenum pname, T* params) const
{
    std::optional<GLint> answer;
    GLint native = 0;
    if (isAccumBitsQuery(pname))
        answer = 32; // one float per channel
    else if (pname == GL_DOUBLEBUFFER)
        answer = 1;
    else if (pname == GL_LIST_INDEX && compiling_)
        answer = static_cast<GLint>(compiling_); // not the GL list holding the current segment
    else if (pname == GL_DRAW_BUFFER || pname == GL_READ_BUFFER) {
        ::glGetIntegerv(pname, &native);
        answer = native != GL_COLOR_ATTACHMENT0 ? native : pname == GL_DRAW_BUFFER ? drawBuffer_ : readBuffer_;
    }
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

// ---- accumulation buffer ---------------------------------------------------

// GL keeps the clear value (so queries, glPushAttrib and display lists treat
// it as theirs); a value given before the context exists is passed on with it.
void VornCtl::glClearAccum(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    accum_.setClearValue(red, green, blue, alpha);
    if (beginCall())
        ::glClearAccum(red, green, blue, alpha);
}

void VornCtl::glClear(GLbitfield mask)
{
    if (!beginCall())
        return;
    if (compiling_ && (mask & GL_ACCUM_BUFFER_BIT))
        recordListStep({ListStep::Clear, 0, 0, 0, mask});
    else
        runClear(mask);
}

void VornCtl::runClear(GLbitfield mask)
{
    if (mask & GL_ACCUM_BUFFER_BIT) {
        GLfloat value[4] = {};
        ::glGetFloatv(GL_ACCUM_CLEAR_VALUE, value);
        accum_.setClearValue(value[0], value[1], value[2], value[3]);
        accum_.clear(accumArea());
    }
    if (mask != GL_ACCUM_BUFFER_BIT)
        ::glClear(mask & ~GL_ACCUM_BUFFER_BIT);
}

void VornCtl::glAccum(GLenum op, GLfloat value)
{
    if (!beginCall())
        return;
    if (compiling_)
        recordListStep({ListStep::Accum, 0, op, value, 0});
    else
        runAccum(op, value);
}

void VornCtl::runAccum(GLenum op, GLfloat value)
{
    const PixelRect area = accumArea();
    switch (op) {
    case GL_ACCUM: accum_.accumulate(area, readColours(area).data(), value); break;
    case GL_LOAD: accum_.load(area, readColours(area).data(), value); break;
    case GL_ADD: accum_.add(area, value); break;
    case GL_MULT: accum_.multiply(area, value); break;
    case GL_RETURN: writeColours(area, accum_.returned(area, value)); break;
    default: ::glAccum(op, value); // lets GL record the invalid operation
    }
}

// The whole buffer, or the scissor box while the scissor test is on, as in GL.
PixelRect VornCtl::accumArea() const
{
    PixelRect area{0, 0, accum_.width(), accum_.height()};
    if (::glIsEnabled(GL_SCISSOR_TEST)) {
        GLint box[4];
        ::glGetIntegerv(GL_SCISSOR_BOX, box);
        area = {box[0], box[1], box[2], box[3]};
    }
    return accum_.clip(area);
}

// Pixel transfer settings would change what glAccum sees; use the identity.
static void resetPixelTransfer()
{
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE})
        ::glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS})
        ::glPixelTransferf(bias, 0.0f);
    ::glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
}

static void resetPixelStore(GLenum alignment, GLenum rowLength, GLenum skipRows, GLenum skipPixels)
{
    ::glPixelStorei(alignment, 4);
    ::glPixelStorei(rowLength, 0);
    ::glPixelStorei(skipRows, 0);
    ::glPixelStorei(skipPixels, 0);
}

// Reads bytes and scales them: the colour buffer has eight bits per channel, and
// GL's byte path is much faster than its float conversion.
std::vector<float> VornCtl::readColours(PixelRect area) const
{
    const std::size_t count = static_cast<std::size_t>(area.width) * area.height * 4;
    std::vector<float> colours(count);
    if (count == 0)
        return colours;
    std::vector<GLubyte> bytes(count);
    ::glPushAttrib(GL_PIXEL_MODE_BIT);
    ::glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    resetPixelTransfer();
    resetPixelStore(GL_PACK_ALIGNMENT, GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS);
    ::glReadPixels(area.x, area.y, area.width, area.height, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    ::glPopClientAttrib();
    ::glPopAttrib();
    for (std::size_t i = 0; i < count; ++i)
        colours[i] = bytes[i] * (1.0f / 255.0f);
    return colours;
}

// The presented picture, read once per frame at most: grabs of a window paint it.
QImage VornCtl::presentedImage()
{
    if (!shownFbo_)
        return {};
    if (shownImageStale_) {
        makeCurrent();
        const QSize size = shownFbo_->size();
        QImage image(size, QImage::Format_RGBX8888); // a window shows colours whatever their alpha
        auto* gl = QOpenGLContext::currentContext()->extraFunctions();
        gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, shownFbo_->handle());
        ::glPushAttrib(GL_PIXEL_MODE_BIT);
        ::glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        resetPixelTransfer();
        resetPixelStore(GL_PACK_ALIGNMENT, GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS);
        ::glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        ::glPopClientAttrib();
        ::glPopAttrib();
        bindWorkFramebuffer();
        shownImage_ = image.mirrored(); // GL's rows run bottom to top
        shownImage_.setDevicePixelRatio(pixelRatio());
        shownImageStale_ = false;
    }
    return shownImage_;
}

// Draws the returned colours as an image: fragment operations that GL skips for
// an accumulation return are switched off; colour mask and scissor still apply.
void VornCtl::writeColours(PixelRect area, const std::vector<float>& colours)
{
    if (colours.empty())
        return;
    using WindowPos2i = void (*)(GLint, GLint);
    static const auto windowPos2i = reinterpret_cast<WindowPos2i>(context()->getProcAddress("glWindowPos2i"));
    if (!windowPos2i)
        throw std::runtime_error("glAccum(GL_RETURN) needs glWindowPos2i (OpenGL 1.4), which this GL driver lacks");
    ::glPushAttrib(GL_ALL_ATTRIB_BITS);
    ::glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_1D, GL_TEXTURE_2D, GL_FOG, GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST,
                       GL_STENCIL_TEST, GL_COLOR_LOGIC_OP, GL_INDEX_LOGIC_OP})
        ::glDisable(cap);
    resetPixelTransfer();
    resetPixelStore(GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS);
    ::glPixelZoom(1.0f, 1.0f);
    windowPos2i(area.x, area.y);
    ::glDrawPixels(area.width, area.height, GL_RGBA, GL_FLOAT, colours.data());
    ::glPopClientAttrib();
    ::glPopAttrib();
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
