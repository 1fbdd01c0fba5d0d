// The accumulation buffer of VornCtl. The control keeps it in floating-point
// memory of its own (a window's accumulation buffer in Mesa converts through
// sRGB); glAccum reads the read buffer and GL_RETURN writes the draw buffers,
// as GL's own does, in framebuffer (device) pixels.

#include "VornCtl.h"

#include <QOpenGLContext>

#include <stdexcept>

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

// Draws the returned colours as an image: fragment operations that GL skips for
// an accumulation return are switched off; colour mask and scissor still apply.
void VornCtl::writeColours(PixelRect area, const std::vector<float>& colours)
{
    if (colours.empty())
        return;
    using WindowPos2i = void (*)(GLint, GLint);
    // Looked up in this control's context each time: entry points belong to a
    // context, and one lookup is nothing beside the image it draws.
    const auto windowPos2i = reinterpret_cast<WindowPos2i>(context()->getProcAddress("glWindowPos2i"));
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
