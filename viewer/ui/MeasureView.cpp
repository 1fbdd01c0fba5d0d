#include "MeasureView.h"

#include "VornCtl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <GL/gl.h>

#include <cmath>
#include <utility>

namespace meshscope {

namespace {

QFont boxFont()
{
    QFont font(QStringLiteral("Liberation Sans Narrow"));
    font.setPixelSize(12);
    return font;
}

// A line of the box: the status line's colours, native so it stays above the
// viewport's window.
QLabel* boxLine(QWidget* window, const QString& name)
{
    auto* label = new QLabel(window);
    label->setObjectName(name);
    label->setFont(boxFont());
    label->setContentsMargins(6, 0, 6, 0);
    const QPalette system = QApplication::palette();
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, system.color(QPalette::Active, QPalette::WindowText));
    palette.setColor(QPalette::WindowText, system.color(QPalette::Active, QPalette::Window));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setAttribute(Qt::WA_NativeWindow);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

constexpr int lineHeight = 17;
constexpr int boxWidth = 560;

} // namespace

ColorScaleStrip::ColorScaleStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("colorScale"));
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(boxFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
}

bool ColorScaleStrip::showRange(const HeightRange& drawn, std::int16_t colorMode,
                                const std::optional<FittedColours>& fit)
{
    // Fitted colours about zero reach as far below it as above.
    const HeightRange shown = fit ? HeightRange{static_cast<float>(fit->low), static_cast<float>(fit->high)} : drawn;
    const HeightRange range = scaleRange(shown);
    if (mode_ == colorMode && fit_ == fit && range.low == range_.low && range.high == range_.high)
        return false;
    range_ = range;
    mode_ = colorMode;
    fit_ = fit;
    ticks_ = niceTicks(shown.low, shown.high);
    update();
    return true;
}

QRect ColorScaleStrip::stripRect() const
{
    const int margin = fontMetrics().height() / 2 + 2;
    return {width() - stripWidth - 4, margin, stripWidth, std::max(height() - 2 * margin, 1)};
}

double ColorScaleStrip::yFor(double height) const
{
    const QRect strip = stripRect();
    const double span = range_.high - range_.low;
    const double share = span > 0 ? (range_.high - height) / span : 0.5;
    return strip.top() + share * (strip.height() - 1) + 0.5;
}

void ColorScaleStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect strip = stripRect();
    const double span = range_.high - range_.low;
    // One row at a time at the height that row stands for, so a tick's row
    // shows exactly the colour of the tick's height.
    const double ratio = devicePixelRatioF();
    const int rows = static_cast<int>(std::lround(strip.height() * ratio));
    for (int r = 0; r < rows; ++r) {
        const double y = strip.top() + (r + 0.5) / ratio;
        const double share = strip.height() > 1 ? (y - strip.top() - 0.5) / (strip.height() - 1) : 0.5;
        const double z = range_.high - std::clamp(share, 0.0, 1.0) * span;
        const auto c = scaleColor(z, mode_, fit_);
        painter.fillRect(QRectF(strip.left(), strip.top() + r / ratio, strip.width(), 1 / ratio),
                         QColor(c[0], c[1], c[2]));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    for (const double tick : ticks_) {
        const double y = yFor(tick);
        painter.drawLine(QPointF(strip.left() - 5, y), QPointF(strip.left() - 1, y));
        const QString label = QString::number(tick, 'g', 6);
        const QRectF box(0, y - metrics.height() / 2.0, strip.left() - 7, metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label);
    }
}

MeasureView::MeasureView(QWidget* window, VornCtl* viewport, std::function<const ViewerState&()> shown,
                         std::function<bool()> lineOpen, std::function<bool()> paused)
    : QObject(window), window_(window), viewport_(viewport), shown_(std::move(shown)), lineOpen_(std::move(lineOpen)),
      paused_(std::move(paused)), readout_(boxLine(window, QStringLiteral("readout"))),
      health_(boxLine(window, QStringLiteral("health"))), note_(boxLine(window, QStringLiteral("note"))),
      scale_(new ColorScaleStrip(window))
{
    clock_.start();
    scale_->hide();
    note_->hide();
    viewport_->setMouseTracking(true);
    refresh_.setInterval(refreshMs);
    connect(&refresh_, &QTimer::timeout, this, &MeasureView::refresh);
    refresh_.start();
    noteTimer_.setSingleShot(true);
    noteTimer_.setInterval(noteMs);
    connect(&noteTimer_, &QTimer::timeout, note_, &QWidget::hide);
    // Application-wide and installed after the window's input, so it runs
    // first: that input consumes the viewport's presses and drags.
    qApp->installEventFilter(this);
}

MeasureView::~MeasureView()
{
    qApp->removeEventFilter(this);
}

bool MeasureView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport_)
        viewportMouse(event);
    return false;
}

double MeasureView::now() const
{
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void MeasureView::place(const QRect& statusBox, const QSize& window)
{
    const int right = statusBox.right() + 1;
    const int left = std::max(right - boxWidth, 0);
    int top = statusBox.bottom() + 1;
    for (QLabel* line : {health_, readout_, note_}) {
        line->setGeometry(left, top, right - left, lineHeight);
        top += lineHeight;
    }
    // The scale stands below the boxes and above the problem box's place.
    const int scaleTop = top + 8;
    const int scaleBottom = std::max(window.height() - 120, scaleTop + 60);
    scaleGeometry_ = QRect(window.width() - ColorScaleStrip::boxWidth, scaleTop, ColorScaleStrip::boxWidth,
                           scaleBottom - scaleTop);
    scale_->setGeometry(scaleGeometry_);
    for (QWidget* box : {static_cast<QWidget*>(health_), static_cast<QWidget*>(readout_), static_cast<QWidget*>(note_),
                         static_cast<QWidget*>(scale_)})
        box->raise();
}

void MeasureView::afterPaint()
{
    ViewMatrices view;
    viewport_->glGetDoublev(GL_PROJECTION_MATRIX, view.projection.data());
    viewport_->glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview.data());
    viewport_->glGetIntegerv(GL_VIEWPORT, view.viewport.data());
    view_ = view;
    readOut();
    if (scale_->isVisible()) {
        if (const ViewerState& state = shown_(); const auto drawn = drawnHeightRange(state))
            scale_->showRange(*drawn, state.colorMode, state.fittedColours);
    }
}

void MeasureView::setScaleShown(bool shown)
{
    scale_->setVisible(shown);
    if (shown) {
        // A widget shown for the first time takes its own size; it gets its place again.
        scale_->setGeometry(scaleGeometry_);
        scale_->raise();
        if (const ViewerState& state = shown_(); const auto drawn = drawnHeightRange(state))
            scale_->showRange(*drawn, state.colorMode, state.fittedColours);
    }
}

void MeasureView::viewportMouse(QEvent* event)
{
    const auto toGl = [this](const QPointF& at) {
        const double ratio = viewport_->devicePixelRatioF();
        const double height = view_ ? view_->viewport[3] : viewport_->Height();
        return QPointF(at.x() * ratio, height - at.y() * ratio);
    };
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        pointer_ = toGl(mouse->position());
        if (pressedAt_ && (mouse->position() - *pressedAt_).manhattanLength() > 3)
            pressedAt_.reset(); // a drag, not a click
        readOut();
        break;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            pressedAt_ = mouse->position();
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !pressedAt_)
            break;
        pressedAt_.reset();
        pointer_ = toGl(mouse->position());
        // A click pins the cell under it; the next click lets it go.
        if (pinned_) {
            pinned_.reset();
        } else if (view_) {
            if (const auto cell = pickAt(shown_(), *view_, pointer_->x(), pointer_->y()))
                pinned_ = std::make_pair(cell->column, cell->row);
        }
        readOut();
        break;
    }
    case QEvent::Leave:
        pointer_.reset();
        readOut();
        break;
    default: break;
    }
}

void MeasureView::readOut()
{
    std::optional<PickedCell> cell;
    if (pinned_)
        cell = readCell(shown_(), pinned_->first, pinned_->second);
    else if (pointer_ && view_)
        cell = pickAt(shown_(), *view_, pointer_->x(), pointer_->y());
    QString text;
    if (cell)
        text = (pinned_ ? QStringLiteral("pinned ") : QString()) + QString::fromStdString(readoutText(*cell));
    if (readout_->text() != text)
        readout_->setText(text);
}

void MeasureView::notePoll(const PollTick& tick)
{
    notePollTick(healthState_, tick, now());
}

void MeasureView::lineOpened(const QString& port, int baudRate)
{
    meshscope::lineOpened(healthState_, port.toStdString(), baudRate, now());
    refresh();
}

void MeasureView::say(const QString& text)
{
    note_->setText(text);
    note_->show();
    note_->raise();
    noteTimer_.start();
}

// Four times a second: the health line and the no-data rule.
void MeasureView::refresh()
{
    const double t = now();
    const bool open = lineOpen_();
    linePaused(healthState_, paused_(), t);
    lineStandsOpen(healthState_, open);
    const QString text = QString::fromStdString(healthText(healthState_, t));
    if (health_->text() != text)
        health_->setText(text);
    const auto quiet = meshscope::quietProblem(healthState_, open, t);
    const QString said = quiet ? QString::fromStdString(*quiet) : QString();
    if (said != quietSaid_) {
        quietSaid_ = said;
        emit quietProblem(said);
    }
}

} // namespace meshscope
