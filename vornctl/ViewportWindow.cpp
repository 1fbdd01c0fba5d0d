#include "ViewportWindow.h"

#include "HandlerReport.h"
#include "WindowImage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QOpenGLContext>
#include <QPlatformSurfaceEvent>
#include <QSurfaceFormat>

#include <GL/gl.h>

namespace {

QSurfaceFormat windowFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    format.setAlphaBufferSize(0);
    return format;
}

} // namespace

// It takes no input: mouse and keys reach the control beneath it.
ViewportWindow::ViewportWindow(Listener* listener) : listener_(listener)
{
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(windowFormat());
    setFlags(Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
}

ViewportWindow::~ViewportWindow()
{
    releaseContext();
}

bool ViewportWindow::ensureContext()
{
    if (context_)
        return true;
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(format());
    context->setScreen(screen());
    if (!context->create()) {
        const QString owner = listener_ ? listener_->ownerName() : QStringLiteral("VornCtl");
        vorn::reportError(QStringLiteral("%1: cannot create an OpenGL context on this display (install "
                                         "libgl1-mesa-dri, or run under xvfb-run)")
                              .arg(owner));
        return false;
    }
    context_ = std::move(context);
    return true;
}

void ViewportWindow::makeCurrent()
{
    if (context_ && QOpenGLContext::currentContext() != context_.get())
        context_->makeCurrent(this);
}

bool ViewportWindow::swap()
{
    if (!context_ || !isExposed())
        return false;
    keptFrame_ = vorn::FrameKeeping::wanted() && !screenPixelsReadable() ? readBuffer(GL_BACK) : QImage();
    context_->swapBuffers(this);
    return true;
}

void ViewportWindow::setSwapInterval(int interval)
{
    QSurfaceFormat wanted = format();
    wanted.setSwapInterval(interval);
    setFormat(wanted);
}

QSize ViewportWindow::pixelSize() const
{
    return size() * devicePixelRatio();
}

QImage ViewportWindow::shownImage()
{
    if (!screenPixelsReadable())
        return keptFrame_.isNull() ? readBuffer(GL_FRONT) : keptFrame_;
    QImage image = screen()->grabWindow(winId()).toImage().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio());
    return image;
}

QImage ViewportWindow::readBuffer(unsigned buffer)
{
    if (!context_)
        return {};
    makeCurrent();
    const QSize size = pixelSize();
    QImage image(size, QImage::Format_RGBX8888); // a window shows colours whatever their alpha
    ::glPushAttrib(GL_PIXEL_MODE_BIT);           // the read buffer and pixel transfer
    ::glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    ::glReadBuffer(buffer);
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE})
        ::glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS})
        ::glPixelTransferf(bias, 0.0f);
    ::glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    ::glPixelStorei(GL_PACK_ALIGNMENT, 4);
    ::glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    ::glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    ::glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    ::glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    ::glPopClientAttrib();
    ::glPopAttrib();
    image = image.mirrored(); // GL's rows run bottom to top
    image.setDevicePixelRatio(devicePixelRatio());
    return image;
}

void ViewportWindow::exposeEvent(QExposeEvent*)
{
    if (listener_ && isExposed())
        listener_->windowExposed();
}

// X sends no exposure when a window shrinks, so a resize asks for a paint itself.
void ViewportWindow::resizeEvent(QResizeEvent*)
{
    if (listener_)
        listener_->windowResized();
}

// The native window goes when its top-level does, or moves to another one: its
// context goes with it, and the next exposure starts a fresh one.
bool ViewportWindow::event(QEvent* event)
{
    if (event->type() == QEvent::PlatformSurface
        && static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType()
            == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
        if (listener_)
            listener_->windowGoingAway();
        releaseContext();
    }
    return QWindow::event(event);
}

void ViewportWindow::releaseContext()
{
    if (!context_)
        return;
    if (QOpenGLContext::currentContext() == context_.get())
        context_->doneCurrent();
    context_.reset();
}
