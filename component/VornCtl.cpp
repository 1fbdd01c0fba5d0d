#include "VornCtl.h"

#include "ProgramStart.h"
#include "TextBitmap.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QScreen>
#include <QWindow>
#include <QSurfaceFormat>

#include <cmath>

namespace {

QSurfaceFormat compatibilityFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    return format;
}

// Keeps the GL state a program can see while the control clears a buffer of its own.
void clearBoundFramebuffer()
{
    ::glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_SCISSOR_BIT);
    ::glDisable(GL_SCISSOR_TEST);
    ::glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    ::glDepthMask(GL_TRUE);
    ::glStencilMask(~0u);
    ::glClearColor(0, 0, 0, 1);
    ::glClearDepth(1);
    ::glClearStencil(0);
    ::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    ::glPopAttrib();
}

} // namespace

VornCtl::VornCtl(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(compatibilityFormat());
    // The widget's framebuffer holds the presented picture; Qt must not discard it.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    textFontFace_ = QFont().family();
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        if (presentPending_) {
            presentPending_ = false;
            emit framePresented();
        }
    });
}

VornCtl::~VornCtl()
{
    if (context()) {
        disconnect(context(), nullptr, this, nullptr); // Qt destroys it after this object
        makeCurrent();
        releaseFramebuffers();
        doneCurrent();
    }
}

// ---- events ----------------------------------------------------------------

void VornCtl::initializeGL()
{
    // Qt recreates the context when the widget moves to another window.
    disconnect(context(), nullptr, this, nullptr);
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &VornCtl::onContextAboutToBeDestroyed);
    createFramebuffers();
    startLikeAWindow();
    raiseEvent(&VornCtl::initialization, "initialization");
}

void VornCtl::startLikeAWindow()
{
    // A context made for a window starts with a viewport covering it; ours
    // draws offscreen, so set that here. Everything else (matrices, raster
    // position at the window origin) is the new context's own initial state.
    const QSize size = workFbo_->size();
    viewport_ = {0, 0, size.width(), size.height()};
    restoreViewport();
    const auto& clearValue = accum_.clearValue(); // possibly set before the context existed
    ::glClearAccum(clearValue[0], clearValue[1], clearValue[2], clearValue[3]);
    listSteps_.clear();
    compiling_ = 0;
    drawBuffer_ = readBuffer_ = GL_BACK;
}

void VornCtl::onContextAboutToBeDestroyed()
{
    makeCurrent();
    releaseFramebuffers();
    doneCurrent();
}

void VornCtl::resizeGL(int, int)
{
    composeOnly_ = false;
    createFramebuffers();
    // Qt made a new widget framebuffer: show black until a frame is presented.
    clearWidgetFramebuffer();
    restoreViewport();
}

void VornCtl::paintGL()
{
    restoreViewport();
    if (composeOnly_) { // PresentFrame outside a paint already filled the widget's framebuffer
        composeOnly_ = false;
        return;
    }
    raiseEvent(&VornCtl::paint, "paint");
}

void VornCtl::raiseEvent(void (VornCtl::*event)(), const char* eventName)
{
    bindWorkFramebuffer();
    restoreViewport();
    inEvent_ = true;
    const QString owner = objectName().isEmpty() ? QStringLiteral("VornCtl") : objectName();
    vorn::runHandler(owner + QLatin1Char(' ') + QLatin1String(eventName), [this, event] { emit(this->*event)(); });
    if (inBeginEnd_) { // a handler that stopped between glBegin and glEnd
        ::glEnd();
        inBeginEnd_ = false;
    }
    keepViewport();
    inEvent_ = false;
}

// ---- framebuffers ----------------------------------------------------------

void VornCtl::createFramebuffers()
{
    const QSize size = framebufferSize();
    if (workFbo_ && workFbo_->size() == size)
        return;
    auto fresh = std::make_unique<QOpenGLFramebufferObject>(size.expandedTo(QSize(1, 1)),
                                                            QOpenGLFramebufferObject::CombinedDepthStencil);
    fresh->bind();
    clearBoundFramebuffer();
    if (workFbo_) { // keep what was drawn where the old and new sizes overlap
        const QRect common(QPoint(0, 0), workFbo_->size().boundedTo(size));
        ::glPushAttrib(GL_SCISSOR_BIT);
        ::glDisable(GL_SCISSOR_TEST);
        QOpenGLFramebufferObject::blitFramebuffer(fresh.get(), common, workFbo_.get(), common);
        ::glPopAttrib();
    }
    workFbo_ = std::move(fresh);
    accum_.resize(size.width(), size.height());
}

void VornCtl::clearWidgetFramebuffer()
{
    if (defaultFramebufferObject() == 0)
        return;
    QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    clearBoundFramebuffer();
    bindWorkFramebuffer();
}

void VornCtl::releaseFramebuffers()
{
    workFbo_.reset();
}

void VornCtl::bindWorkFramebuffer()
{
    if (!workFbo_)
        return;
    workFbo_->bind();
    // The widget's framebuffer holds the presented picture, the front buffer.
    if (readsFront() && defaultFramebufferObject() != 0)
        QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_READ_FRAMEBUFFER,
                                                                              defaultFramebufferObject());
}

bool VornCtl::bindForOutsideCall()
{
    if (QOpenGLContext::currentContext() != context())
        makeCurrent(); // binds the widget's framebuffer; the program draws into ours
    bindWorkFramebuffer();
    return true;
}

void VornCtl::copyWorkToWidget()
{
    if (defaultFramebufferObject() == 0) // Qt makes it only after the initialisation event
        return;
    auto* gl = QOpenGLContext::currentContext()->extraFunctions();
    const QSize size = workFbo_->size();
    ::glPushAttrib(GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    ::glDisable(GL_SCISSOR_TEST); // blits obey the scissor box
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, workFbo_->handle());
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, defaultFramebufferObject());
    gl->glBlitFramebuffer(0, 0, size.width(), size.height(), 0, 0, size.width(), size.height(), GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    // Programs clear with alpha 0 as a window's buffer ignores alpha; the widget
    // is composed with it, so make the shown picture opaque.
    ::glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    ::glClearColor(0, 0, 0, 1);
    ::glClear(GL_COLOR_BUFFER_BIT);
    ::glPopAttrib();
    bindWorkFramebuffer();
}

// Qt sets the viewport to the whole widget around its events; a window's
// context keeps whatever viewport the program last set, so put that back.
void VornCtl::restoreViewport()
{
    if (workFbo_)
        ::glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
}

void VornCtl::keepViewport()
{
    if (workFbo_)
        ::glGetIntegerv(GL_VIEWPORT, viewport_.data());
}

// ---- own members -----------------------------------------------------------

void VornCtl::RequestRedraw()
{
    composeOnly_ = false;
    update();
}

void VornCtl::PresentFrame()
{
    if (!beginCall())
        return;
    ::glFlush();
    copyWorkToWidget();
    presentPending_ = true;
    if (!inEvent_) { // outside the events: let Qt show the frame without a paint
        composeOnly_ = true;
        update();
    }
}

void VornCtl::SetTextFont(const QString& face, double size, std::int16_t option)
{
    textFontFace_ = face;
    textFontSize_ = size;
    textFontOption_ = option;
}

void VornCtl::DrawTextAt(double x, double y, const QString& text)
{
    if (!beginCall())
        return;
    // Glyphs are sized for the framebuffer, whose pixels are device pixels.
    const QFont font = makeTextFont(textFontFace_, textFontSize_, textFontOption_, logicalDpiY() * pixelRatio());
    const TextBitmap bitmap = renderTextBitmap(font, text);
    ::glRasterPos2d(x, y); // takes the current colour, as bitmap text does
    if (bitmap.bits.empty())
        return;
    ::glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    ::glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    ::glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    ::glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    ::glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    ::glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    ::glBitmap(bitmap.width, bitmap.height, static_cast<GLfloat>(bitmap.originX), static_cast<GLfloat>(bitmap.originY),
               static_cast<GLfloat>(bitmap.advance), 0, bitmap.bits.data());
    ::glPopClientAttrib();
}

DataBufferRef VornCtl::CreateDataBuffer(GLenum type, std::span<const double> values)
{
    return std::make_shared<DataBuffer>(type, values);
}

std::int32_t VornCtl::ReadDataBuffer(GLenum type, const void* address, std::span<double> values) const
{
    return DataBuffer::read(type, address, values);
}

// ---- placement -------------------------------------------------------------

// The form's units are counted in framebuffer (device) pixels; Qt places the
// widget in logical pixels.
int VornCtl::toLogicalPixels(double units) const
{
    const double pixels = std::nearbyint(units / unitsPerPixel_);
    return static_cast<int>(std::nearbyint(pixels / pixelRatio()));
}

QSize VornCtl::framebufferSize() const
{
    return size() * pixelRatio();
}

// Until the window exists Qt gives a widget ratio 1; its screen knows better.
double VornCtl::pixelRatio() const
{
    const QWidget* top = window();
    return top && top->windowHandle() ? devicePixelRatio() : screen()->devicePixelRatio();
}

double VornCtl::Left() const
{
    return x() * pixelRatio() * unitsPerPixel_;
}
double VornCtl::Top() const
{
    return y() * pixelRatio() * unitsPerPixel_;
}
double VornCtl::Width() const
{
    return framebufferSize().width() * unitsPerPixel_;
}
double VornCtl::Height() const
{
    return framebufferSize().height() * unitsPerPixel_;
}
void VornCtl::setLeft(double value)
{
    move(toLogicalPixels(value), y());
}
void VornCtl::setTop(double value)
{
    move(x(), toLogicalPixels(value));
}
void VornCtl::setWidth(double value)
{
    resize(std::max(0, toLogicalPixels(value)), height());
}
void VornCtl::setHeight(double value)
{
    resize(width(), std::max(0, toLogicalPixels(value)));
}

void VornCtl::setScaleUnitsPerPixel(double unitsPerPixel)
{
    if (unitsPerPixel > 0 && std::isfinite(unitsPerPixel))
        unitsPerPixel_ = unitsPerPixel;
}
