#include "WindowInput.h"

#include "HandlerReport.h"
#include "VornCtl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <utility>

namespace meshscope {

WindowInput::WindowInput(QWidget& window, VornCtl& viewport, ViewerState& state, ViewerHost& host,
                         WindowCommands commands)
    : window_(window), viewport_(viewport), state_(state), host_(host), commands_(std::move(commands))
{
    qApp->installEventFilter(this);
}

WindowInput::~WindowInput()
{
    qApp->removeEventFilter(this);
}

// Key preview: every typed character reaches the key handler once, whichever
// control of the window has the focus. The event is consumed so it is not
// seen again as it propagates to the parents. The viewport's mouse events are
// taken here too: a synthesised wheel event would not reach the window. One
// filter for both, so what it consumes never depends on the order in which
// filters were installed.
bool WindowInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &viewport_) {
        if (commands_.watchViewport)
            commands_.watchViewport(*event);
        if (onViewportMouse(event))
            return true;
    }
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* receiver = static_cast<QWidget*>(watched);
    if (receiver->window() != &window_)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // A Ctrl chord types a control character; it is never a command.
    if (key->modifiers().testFlag(Qt::ControlModifier)) {
        onChord(*key);
        return true;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        commands_.key(c);
    return true;
}

void WindowInput::onChord(const QKeyEvent& key)
{
    if (commands_.otherChord && commands_.otherChord(key))
        return;
    if (key.isAutoRepeat())
        return;
    const Qt::KeyboardModifiers chord
        = key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key.key() == Qt::Key_S && chord == Qt::ControlModifier)
        commands_.savePicture();
    else if (key.key() == Qt::Key_S && chord == (Qt::ControlModifier | Qt::ShiftModifier))
        commands_.saveGrid();
    else if (key.key() == Qt::Key_C && chord == Qt::ControlModifier)
        commands_.copyPicture();
}

bool WindowInput::onViewportMouse(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            startDrag(drag_, at.x(), at.y());
        else if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton))
            vorn::runHandler(QStringLiteral("mouse drag"),
                             [this, at] { dragTo(state_, host_, drag_, at.x(), at.y()); });
        else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
            endDrag(drag_);
        else if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton)
            commands_.openMenu(mouse->globalPosition().toPoint());
        else
            return false;
        return event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton;
    }
    case QEvent::ContextMenu: {
        // The right button's press has already opened the menu; the menu key has not.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() != QContextMenuEvent::Mouse)
            commands_.openMenu(request->globalPos());
        return true;
    }
    case QEvent::Wheel: {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        vorn::runHandler(QStringLiteral("mouse wheel"), [this, delta] { turnWheel(state_, host_, wheelRest_, delta); });
        return true;
    }
    default: return false;
    }
}

} // namespace meshscope
