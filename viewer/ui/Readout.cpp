#include "Readout.h"

#include "ViewerSession.h"
#include "VornCtl.h"

#include <QMouseEvent>

#include <GL/gl.h>

namespace meshscope {

Readout::Readout(VornCtl& viewport, ViewerSession& session, QObject* parent)
    : QObject(parent), viewport_(viewport), session_(session)
{
    viewport_.setMouseTracking(true);
}

void Readout::afterPaint()
{
    ViewMatrices view;
    viewport_.glGetDoublev(GL_PROJECTION_MATRIX, view.projection.data());
    viewport_.glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview.data());
    viewport_.glGetIntegerv(GL_VIEWPORT, view.viewport.data());
    view_ = view;
    readOut();
}

void Readout::setUnits(const SurfaceUnits& units)
{
    units_ = units;
    readOut();
}

QPointF Readout::toGl(const QPointF& at) const
{
    const double ratio = viewport_.devicePixelRatioF();
    const double height = view_ ? view_->viewport[3] : viewport_.Height();
    return {at.x() * ratio, height - at.y() * ratio};
}

void Readout::followPointer(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<const QMouseEvent*>(&event);
        pointer_ = toGl(mouse->position());
        if (pressedAt_ && (mouse->position() - *pressedAt_).manhattanLength() > 3)
            pressedAt_.reset(); // a drag, not a click
        readOut();
        break;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<const QMouseEvent*>(&event);
        if (mouse->button() == Qt::LeftButton)
            pressedAt_ = mouse->position();
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<const QMouseEvent*>(&event);
        if (mouse->button() != Qt::LeftButton || !pressedAt_)
            break;
        pressedAt_.reset();
        pointer_ = toGl(mouse->position());
        // A click pins the cell under it; the next click lets it go.
        if (pinned_) {
            pinned_.reset();
        } else if (view_) {
            if (const auto cell = pickAt(session_.shownState(), *view_, pointer_->x(), pointer_->y())) {
                pinned_ = std::make_pair(cell->column, cell->row);
                rememberPin({cell->column, cell->row});
            }
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

void Readout::rememberPin(const GridCell& cell)
{
    std::erase(lastPinned_, cell);
    lastPinned_.push_back(cell);
    if (lastPinned_.size() > 3)
        lastPinned_.erase(lastPinned_.begin());
    emit cellsPinned(lastPinned_);
}

void Readout::readOut()
{
    std::optional<PickedCell> cell;
    if (pinned_)
        cell = readCell(session_.shownState(), pinned_->first, pinned_->second);
    else if (pointer_ && view_)
        cell = pickAt(session_.shownState(), *view_, pointer_->x(), pointer_->y());
    QString text;
    if (cell)
        text = (pinned_ ? QStringLiteral("pinned ") : QString()) + QString::fromStdString(readoutText(*cell, units_));
    emit textChanged(text);
}

} // namespace meshscope
