#pragma once

// The view's right-click menu, built in one place from what the window's
// parts offer: the commands the keys and chords run, the look-back's steps
// and baseline, what is shown beside the picture, the source, the levelling
// and the trend. The parts only act; the items that follow a state (pause
// or resume, freeze or go live, the baseline's) say it again each time the
// menu opens.

#include "WindowInput.h"

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace meshscope {

class LevelMenu;
class LookBackBar;
class SourceMenu;
class TrendChart;

// The parts whose items and submenus the menu holds.
struct WindowMenuParts {
    LookBackBar& lookBack;
    SourceMenu& source;
    LevelMenu& level;
    TrendChart& trend;
};

// The checkable items of what is shown beside the picture; the window
// acts on their toggles.
struct ShownChoices {
    QAction* scale = nullptr;
    QAction* fittedColours = nullptr;
    QAction* samples = nullptr;
    QAction* statistics = nullptr;
    QAction* units = nullptr; // not checkable: opens the units dialog
    QAction* trend = nullptr;
};

class WindowMenu : public QObject {
    Q_OBJECT
public:
    WindowMenu(QWidget& window, WindowCommands commands, const WindowMenuParts& parts);

    QMenu* menu() const { return menu_; }
    const ShownChoices& choices() const { return choices_; }

    // Checks an item for a choice made elsewhere (an option at start); its
    // toggled signal then brings the choice back, which changes nothing.
    static void check(QAction& item, bool on);

private:
    // An item that runs what its key or chord runs, with the key after a tab
    // as a menu's shortcut column shows it.
    QAction* addCommand(const QString& text, const QString& keys, const std::function<void()>& run);
    QAction* addChoice(const QString& text);
    void addWindowCommands();
    void addLookBack(LookBackBar& bar);
    void addShownChoices(const WindowMenuParts& parts);
    void addTrendOf(TrendChart& trend);

    WindowCommands commands_;
    QMenu* menu_;
    ShownChoices choices_;
};

} // namespace meshscope
