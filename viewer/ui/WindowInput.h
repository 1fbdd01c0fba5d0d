#pragma once

#include "MouseView.h"

#include <QObject>

#include <functional>

class QEvent;
class QKeyEvent;
class QPoint;
class QWidget;
class VornCtl;

namespace meshscope {

class ViewerHost;
struct ViewerState;

// What the window's input asks of the window.
struct WindowCommands {
    std::function<void(QChar)> key; // a typed character, for the command keys
    std::function<void()> savePicture;
    std::function<void()> saveGrid;
    std::function<void()> copyPicture;
    std::function<bool()> lineRunning;           // the menu offers to pause or to resume
    std::function<void(const QPoint&)> openMenu; // the view menu, at a point of the screen
    // Sees each of the viewport's events before the view acts on it (the read-out).
    std::function<void(const QEvent&)> watchViewport;
    // Ctrl chords beyond these (the look-back's); true when it took the chord.
    std::function<bool(const QKeyEvent&)> otherChord;
};

// The window's input: every typed character reaches the command keys once,
// whichever control has the focus; the Ctrl chords save and copy; on the
// viewport a left-button drag turns the view, the wheel zooms, and the right
// button or the menu key opens the view menu. It is the one filter of the
// viewport's events: what else watches them is handed each one first.
class WindowInput : public QObject {
    Q_OBJECT
public:
    WindowInput(QWidget& window, VornCtl& viewport, ViewerState& state, ViewerHost& host, WindowCommands commands);
    ~WindowInput() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The Ctrl chords: save, save the grid, copy; any other does nothing.
    void onChord(const QKeyEvent& key);
    bool onViewportMouse(QEvent* event);

    QWidget& window_;
    VornCtl& viewport_;
    ViewerState& state_;
    ViewerHost& host_;
    WindowCommands commands_;
    MouseDrag drag_;
    int wheelRest_ = 0; // wheel turn short of a whole notch
};

} // namespace meshscope
