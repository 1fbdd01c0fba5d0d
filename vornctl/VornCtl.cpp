#include "VornCtl.h"

#include "HandlerReport.h"
#include "TextBitmap.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace {

const QEvent::Type kPaintEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

// The control is a native window of its own holding only the GL window, so
// widgets a form stacks over the control stand over the picture too.
VornCtl::VornCtl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_OpaquePaintEvent);
    textFontFace_ = QFont().family();
    auto* surface = new ViewportWindow(this);
    surface_ = surface;
    container_ = QWidget::createWindowContainer(surface, this);
    container_->setAttribute(Qt::WA_NativeWindow); // so the GL window is a child of the control's
    container_->setAttribute(Qt::WA_TransparentForMouseEvents);
    container_->setFocusPolicy(Qt::NoFocus);
}

VornCtl::~VornCtl()
{
    if (surface_)
        surface_->detach();
}

QOpenGLContext* VornCtl::context() const
{
    return surface_ ? surface_->context() : nullptr;
}

// ---- events ----------------------------------------------------------------

bool VornCtl::event(QEvent* event)
{
    if (event->type() == kPaintEvent) {
        paintPosted_ = false;
        paintIfDue();
        return true;
    }
    if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
        passPointerThroughContainer();
    if (event->type() == QEvent::ScreenChangeInternal && initialised_) {
        // On a screen of another scale the window has other pixels: the
        // scene starts again on them, as it does in a new window.
        if (pixelRatio() != startedRatio_ && surface_->ensureContext()) {
            surface_->makeCurrent();
            startScene();
        }
        RequestRedraw();
    }
    return QWidget::event(event);
}

// The container's native window would take the window system's pointer events
// itself, and a move without a button would end there: the window passes the
// pointer through to the control's own window, as the container's attribute
// does for events Qt routes between widgets.
void VornCtl::passPointerThroughContainer()
{
    if (QWindow* window = container_->windowHandle(); window && !(window->flags() & Qt::WindowTransparentForInput))
        window->setFlag(Qt::WindowTransparentForInput);
}

// Exposure, a resize, a restore or a new scale: the window system may have
// lost the picture, so it is drawn again now.
void VornCtl::windowExposed()
{
    if (!surface_->ensureContext())
        return;
    surface_->makeCurrent();
    if (!initialised_)
        startScene();
    shownImageStale_ = true;
    paintDue_ = true;
    paintIfDue();
}

void VornCtl::startScene()
{
    const QSize size = framebufferSize();
    initialised_ = true;
    startedRatio_ = pixelRatio();
    // Qt first binds a new context to a window of its own while it checks
    // the format; a window's context starts with viewport and scissor box
    // covering the window, so set those as GL would.
    ::glViewport(0, 0, size.width(), size.height());
    ::glScissor(0, 0, size.width(), size.height());
    const auto& clearValue = accum_.clearValue(); // possibly set before the context existed
    ::glClearAccum(clearValue[0], clearValue[1], clearValue[2], clearValue[3]);
    raiseEvent(&VornCtl::initialization, "initialization");
}

void VornCtl::windowResized()
{
    if (initialised_)
        RequestRedraw();
}

// GL starts again with a fresh context when the window comes back, as a
// window's context would; list names and pieces went with the old one.
void VornCtl::windowGoingAway()
{
    initialised_ = false;
    listSteps_.clear();
    glListNames_.clear();
    nextGlListName_ = 1;
    highestListName_ = 0;
    compiling_ = 0;
}

void VornCtl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    container_->setGeometry(rect()); // the window's exposure at its new size paints
}

void VornCtl::paintIfDue()
{
    if (!paintDue_ || !initialised_ || !surface_ || !surface_->isExposed())
        return; // the exposure paints
    paintDue_ = false;
    surface_->makeCurrent();
    const QSize size = framebufferSize();
    if (accum_.width() != size.width() || accum_.height() != size.height())
        accum_.resize(size.width(), size.height()); // GL's own is undefined after a resize
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
    inEvent_ = true;
    vorn::runHandler(ownerName() + QLatin1Char(' ') + QLatin1String(eventName),
                     [this, event] { emit(this->*event)(); });
    if (inBeginEnd_) { // a handler that stopped between glBegin and glEnd
        ::glEnd();
        inBeginEnd_ = false;
    }
    inEvent_ = false;
}

bool VornCtl::bindForOutsideCall()
{
    if (!initialised_ || !surface_ || !surface_->hasContext())
        return false;
    surface_->makeCurrent();
    return true;
}

// What the window shows, read back at most once per frame: grabs paint it.
QImage VornCtl::presentedImage()
{
    if (!initialised_ || !surface_)
        return {};
    if (shownImageStale_) {
        shownImage_ = surface_->shownImage();
        shownImageStale_ = false;
    }
    return shownImage_;
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

void VornCtl::RedrawNow()
{
    if (inEvent_) {
        RequestRedraw();
        return;
    }
    paintDue_ = true;
    paintIfDue(); // a posted request still on its way then finds nothing due
}

void VornCtl::PresentFrame()
{
    if (!beginCall())
        return;
    if (!surface_->swap()) {
        paintDue_ = true; // not on screen: the exposure draws the frame again
        return;
    }
    shownImageStale_ = true;
    emit framePresented();
}

void VornCtl::setSwapInterval(int interval)
{
    if (surface_)
        surface_->setSwapInterval(interval);
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
