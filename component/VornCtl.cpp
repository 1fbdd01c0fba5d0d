#include "VornCtl.h"

#include "ProgramStart.h"
#include "TextBitmap.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <QPlatformSurfaceEvent>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWindow>

#include <cmath>

// The native window showing the presented picture. It takes no input: mouse
// and keys reach the widgets beneath it, the control among them.
class VornCtlSurface : public QWindow {
public:
    explicit VornCtlSurface(VornCtl* ctl) : ctl_(ctl)
    {
        setSurfaceType(QSurface::OpenGLSurface);
        setFlags(Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    }
    void detach() { ctl_ = nullptr; }

protected:
    void exposeEvent(QExposeEvent*) override
    {
        if (ctl_)
            ctl_->surfaceExposed();
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::PlatformSurface && ctl_) {
            const auto type = static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType();
            if (type == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
                ctl_->surfaceAboutToBeDestroyed();
            else
                lower(); // under the sibling windows that stand over the view
        }
        return QWindow::event(event);
    }

private:
    VornCtl* ctl_;
};

namespace {

const QEvent::Type kPaintEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The window needs no depth or stencil buffer of its own: programs draw into
// the control's framebuffer, which has both.
QSurfaceFormat compatibilityFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    format.setAlphaBufferSize(0);
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

// Copies the colour of one framebuffer to another from the lower-left corner;
// blits obey the scissor box, which is the program's, so it is switched off.
void blitColour(GLuint from, GLuint to, QSize size)
{
    auto* gl = QOpenGLContext::currentContext()->extraFunctions();
    ::glPushAttrib(GL_SCISSOR_BIT);
    ::glDisable(GL_SCISSOR_TEST);
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl->glBlitFramebuffer(0, 0, size.width(), size.height(), 0, 0, size.width(), size.height(), GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    ::glPopAttrib();
}

} // namespace

VornCtl::VornCtl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    textFontFace_ = QFont().family();
    auto* surface = new VornCtlSurface(this);
    surface->setFormat(compatibilityFormat());
    surface_ = surface;
    container_ = QWidget::createWindowContainer(surface, this);
    container_->setAttribute(Qt::WA_TransparentForMouseEvents);
    container_->setFocusPolicy(Qt::NoFocus);
}

VornCtl::~VornCtl()
{
    if (surface_) {
        surface_->detach();
        if (context_ && surface_->handle()) {
            makeCurrent();
            releaseGl();
        }
    }
}

// ---- events ----------------------------------------------------------------

bool VornCtl::event(QEvent* event)
{
    if (event->type() == kPaintEvent) {
        paintPosted_ = false;
        paintIfDue();
        return true;
    }
    return QWidget::event(event);
}

void VornCtl::surfaceExposed()
{
    if (!surface_->isExposed())
        return;
    if (!context_) {
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(surface_->format());
        context->setScreen(surface_->screen());
        if (!context->create()) {
            vorn::reportLine(QCoreApplication::applicationName(),
                             QStringLiteral("%1: cannot create an OpenGL context on this display (install "
                                            "libgl1-mesa-dri, or run under xvfb-run)")
                                 .arg(ownerName()));
            return;
        }
        context_ = std::move(context);
    }
    makeCurrent();
    if (!initialised_) {
        initialised_ = true;
        createFramebuffers();
        startLikeAWindow();
        raiseEvent(&VornCtl::initialization, "initialization");
        paintDue_ = true;
    }
    if (workFbo_->size() != framebufferSize())
        paintDue_ = true; // resized while hidden: draw at the new size
    if (paintDue_)
        paintIfDue();
    else
        showPresented(); // the window's pixels were lost; the picture was not
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

// The native window goes when its top-level does, or moves to another one:
// GL starts again with a fresh context, as a window's context would.
void VornCtl::surfaceAboutToBeDestroyed()
{
    if (context_) {
        makeCurrent();
        releaseGl();
    }
    context_.reset();
    initialised_ = false;
}

void VornCtl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    container_->setGeometry(rect());
    if (!initialised_)
        return;
    makeCurrent();
    createFramebuffers();
    restoreViewport();
    RequestRedraw(); // a window is painted again at its new size
}

void VornCtl::paintIfDue()
{
    if (!paintDue_ || !initialised_ || !surface_ || !surface_->isExposed())
        return; // the exposure paints
    paintDue_ = false;
    makeCurrent();
    createFramebuffers();
    raiseEvent(&VornCtl::paint, "paint");
}

void VornCtl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QImage picture = presentedImage();
    if (picture.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(QPoint(0, 0), picture);
}

// How messages name the control: its object name, as the form calls it.
QString VornCtl::ownerName() const
{
    return objectName().isEmpty() ? QStringLiteral("VornCtl") : objectName();
}

void VornCtl::raiseEvent(void (VornCtl::*event)(), const char* eventName)
{
    bindWorkFramebuffer();
    restoreViewport();
    inEvent_ = true;
    vorn::runHandler(ownerName() + QLatin1Char(' ') + QLatin1String(eventName),
                     [this, event] { emit(this->*event)(); });
    if (inBeginEnd_) { // a handler that stopped between glBegin and glEnd
        ::glEnd();
        inBeginEnd_ = false;
    }
    keepViewport();
    inEvent_ = false;
}

// ---- framebuffers ----------------------------------------------------------

void VornCtl::makeCurrent()
{
    if (QOpenGLContext::currentContext() != context_.get())
        context_->makeCurrent(surface_);
}

void VornCtl::createFramebuffers()
{
    const QSize size = framebufferSize().expandedTo(QSize(1, 1));
    if (workFbo_ && workFbo_->size() == size)
        return;
    auto fresh = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::CombinedDepthStencil);
    fresh->bind();
    clearBoundFramebuffer();
    if (workFbo_) // keep what was drawn where the old and new sizes overlap
        blitColour(workFbo_->handle(), fresh->handle(), workFbo_->size().boundedTo(size));
    workFbo_ = std::move(fresh);
    // A resized window shows black until a frame is presented at its new size.
    shownFbo_ = std::make_unique<QOpenGLFramebufferObject>(size);
    shownFbo_->bind();
    clearBoundFramebuffer();
    shownImageStale_ = true;
    accum_.resize(size.width(), size.height());
    bindWorkFramebuffer();
}

void VornCtl::releaseGl()
{
    workFbo_.reset();
    shownFbo_.reset();
    context_->doneCurrent();
}

void VornCtl::bindWorkFramebuffer()
{
    if (!workFbo_)
        return;
    workFbo_->bind();
    // The presented picture is the front buffer.
    if (readsFront())
        QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_READ_FRAMEBUFFER, shownFbo_->handle());
}

bool VornCtl::bindForOutsideCall()
{
    makeCurrent();
    bindWorkFramebuffer();
    return true;
}

// Puts the presented picture on the window: one copy and one swap.
void VornCtl::showPresented()
{
    if (!surface_ || !surface_->isExposed())
        return; // the exposure shows it
    blitColour(shownFbo_->handle(), context_->defaultFramebufferObject(), shownFbo_->size());
    context_->swapBuffers(surface_);
    bindWorkFramebuffer();
    if (swapDue_) {
        swapDue_ = false;
        emit framePresented();
    }
}

// Qt's context starts with the viewport of the surface it was first made
// current on; a window's context keeps whatever viewport the program last
// set, so put that back wherever the control switches framebuffers.
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
    paintDue_ = true;
    if (paintPosted_)
        return;
    paintPosted_ = true;
    // Low priority, as a widget's update: input and timers come first, and
    // several requests in a row bring one paint.
    QCoreApplication::postEvent(this, new QEvent(kPaintEvent), Qt::LowEventPriority);
}

void VornCtl::PresentFrame()
{
    if (!beginCall())
        return;
    blitColour(workFbo_->handle(), shownFbo_->handle(), workFbo_->size());
    shownImageStale_ = true;
    swapDue_ = true;
    showPresented();
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
