#include "MeasureView.h"

#include "TextBoxes.h"
#include "ViewerSession.h"
#include "VornCtl.h"

#include <QApplication>
#include <QFontMetrics>

#include <utility>

namespace meshscope {

namespace {

constexpr int lineHeight = 17;
constexpr int boxWidth = 560;
constexpr int lineMargin = 6;       // left and right, inside each line
constexpr int narrowestLines = 150; // beside the help box; narrower, they go under it

// A line of the box: the status line's colours, native so it stays above the
// viewport's window.
QLabel* boxLine(QWidget* window, const QString& name)
{
    auto* label = new QLabel(window);
    label->setObjectName(name);
    label->setFont(statusFont());
    label->setContentsMargins(lineMargin, 0, lineMargin, 0);
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

} // namespace

MeasureView::MeasureView(QWidget* window, VornCtl* viewport, ViewerSession& session)
    : QObject(window), window_(window), viewport_(viewport), session_(session),
      readout_(boxLine(window, QStringLiteral("readout"))), health_(boxLine(window, QStringLiteral("health"))),
      note_(boxLine(window, QStringLiteral("note"))), difference_(boxLine(window, QStringLiteral("difference"))),
      scale_(new ColorScaleStrip(window)), readoutTracker_(new Readout(*viewport, session, this))
{
    scale_->hide();
    note_->hide();
    difference_->hide();
    connect(readoutTracker_, &Readout::textChanged, this, [this](const QString& text) { setLine(readout_, text); });
    connect(&session_, &ViewerSession::healthChanged, this, [this](const QString& text) { setLine(health_, text); });
    connect(&session_, &ViewerSession::lineOpened, this, &MeasureView::lineOpened);
    connect(&session_, &ViewerSession::noteShown, this, &MeasureView::say);
    noteTimer_.setSingleShot(true);
    noteTimer_.setInterval(noteMs);
    connect(&noteTimer_, &QTimer::timeout, this, [this] {
        note_->hide();
        placeLines();
    });
}

MeasureView::~MeasureView() = default;

const ViewerState& MeasureView::shown() const
{
    return session_.shownState();
}

void MeasureView::place(const QRect& statusBox, const QRect& helpBox, const QSize& window)
{
    statusBox_ = statusBox;
    helpBox_ = helpBox;
    windowSize_ = window;
    placeLines();
    for (QWidget* box :
         {static_cast<QWidget*>(health_), static_cast<QWidget*>(readout_), static_cast<QWidget*>(difference_),
          static_cast<QWidget*>(note_), static_cast<QWidget*>(scale_)})
        box->raise();
}

QString MeasureView::lineText(const QLabel* line)
{
    return line->toolTip().isEmpty() ? line->text() : line->toolTip();
}

void MeasureView::setLine(QLabel* line, const QString& text)
{
    if (lineText(line) == text)
        return;
    line->setText(text);
    line->setToolTip({});
    placeLines();
}

// Below the status line's right end and beside the help box while there is
// room, else under the help box; never past the window's right or lower
// edge. A line wraps at its width; one that cannot fit below the others is
// shortened to one line, its whole text in its tooltip.
void MeasureView::placeLines()
{
    if (windowSize_.isEmpty())
        return;
    int right = std::min(statusBox_.right() + 1, windowSize_.width());
    int left = std::max(right - boxWidth, helpBox_.right() + 1);
    int top = statusBox_.bottom() + 1;
    if (right - left < narrowestLines) {
        left = 0;
        right = std::min(windowSize_.width(), boxWidth);
        top = helpBox_.bottom() + 1;
    }
    const int width = right - left;
    const int room = std::max(width - 2 * lineMargin, 1);
    for (QLabel* line : {health_, readout_, difference_, note_}) {
        if (line->isHidden())
            continue;
        const QString text = lineText(line);
        const QFontMetrics metrics(line->font());
        const QRect wrapped = metrics.boundingRect(QRect(0, 0, room, 1 << 20), Qt::TextWordWrap, text);
        int height = std::max(wrapped.height(), lineHeight);
        const bool fits = wrapped.width() <= room && top + height <= windowSize_.height();
        line->setWordWrap(fits);
        if (fits) {
            line->setText(text);
            line->setToolTip({});
        } else {
            line->setText(metrics.elidedText(text, Qt::ElideRight, room));
            line->setToolTip(text);
            height = lineHeight;
        }
        // A shortened line takes the pointer, so its tooltip can show.
        line->setAttribute(Qt::WA_TransparentForMouseEvents, fits);
        if (line->geometry() != QRect(left, top, width, height))
            line->setGeometry(left, top, width, height);
        top += height;
    }
    // The scale stands below the lines and above the problem box's place.
    const int scaleTop = std::max(top, statusBox_.bottom() + 1 + 3 * lineHeight) + 8;
    const int scaleBottom = std::max(windowSize_.height() - 120, scaleTop + 60);
    const QRect scale(windowSize_.width() - ColorScaleStrip::boxWidth, scaleTop, ColorScaleStrip::boxWidth,
                      scaleBottom - scaleTop);
    if (scale != scaleGeometry_) {
        scaleGeometry_ = scale;
        scale_->setGeometry(scaleGeometry_);
    }
}

void MeasureView::showDifference(const QString& text)
{
    const bool shown = !text.isEmpty();
    setLine(difference_, text);
    if (difference_->isHidden() != shown)
        return;
    difference_->setVisible(shown);
    if (shown)
        difference_->raise();
    placeLines();
}

void MeasureView::afterPaint()
{
    readoutTracker_->afterPaint();
    if (scale_->isVisible()) {
        if (const ViewerState& state = shown(); const auto drawn = drawnHeightRange(state))
            scale_->showRange(*drawn, state.colorMode, state.fittedColours);
    }
}

void MeasureView::setUnits(const SurfaceUnits& units)
{
    scale_->setUnits(units);
    readoutTracker_->setUnits(units);
}

void MeasureView::setScaleShown(bool shown)
{
    scale_->setVisible(shown);
    if (shown) {
        // A widget shown for the first time takes its own size; it gets its place again.
        scale_->setGeometry(scaleGeometry_);
        scale_->raise();
        if (const ViewerState& state = this->shown(); const auto drawn = drawnHeightRange(state))
            scale_->showRange(*drawn, state.colorMode, state.fittedColours);
    }
}

// A standing note (a replay's end) is over when another line opens.
void MeasureView::lineOpened()
{
    if (noteStands_) {
        noteStands_ = false;
        note_->hide();
    }
}

void MeasureView::say(const QString& text, bool standing)
{
    note_->show();
    note_->raise();
    setLine(note_, text);
    placeLines();
    noteStands_ = standing;
    if (standing)
        noteTimer_.stop();
    else
        noteTimer_.start();
}

} // namespace meshscope
