#pragma once

// The window's look-back controls: Freeze and its steps (menu and Ctrl
// chords), the history slider along the view's lower edge while frozen, the
// baseline items and the surface export. The rules are the core's LookBack,
// which the session keeps; this routes the controls to it and says what changed.

#include "LookBack.h"
#include "ViewerState.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <QTime>

class QKeyEvent;
class QLabel;
class QSlider;
class QWidget;

namespace meshscope {

class ViewerSession;

class LookBackBar : public QObject {
    Q_OBJECT
public:
    LookBackBar(QWidget& window, ViewerSession& session);

    // What the slider and the menu's items read.
    const LookBack& lookBack() const { return lookBack_; }
    // Ctrl+Space, Ctrl+Left, Ctrl+Right, Ctrl+Home, Ctrl+End; false for any other.
    bool handleChord(const QKeyEvent& key);
    // The slider's place: along the lower edge of the window's area bottom up.
    void place(int left, int bottom, int width);
    // The slider's label, said again as time goes by.
    void refreshAge();
    // What a difference is from and how a levelled surface is levelled; empty when neither.
    QString differenceText() const;

    void freeze();
    void goLive();
    void toggleFreeze();
    void step(int frames);
    void toOldest();
    // The surface drawn now becomes the baseline, with the source it came from.
    void setBaseline();
    void toggleDifference();
    // The baseline goes, and with it the difference.
    void clearBaseline();
    // Writes the surface shown now to path; a failure is a problem.
    void exportTo(const QString& path);
    // Opens the save dialog of Export surface...
    void chooseExportFile();

    QWidget* sliderPanel() const { return panel_; }
    QSlider* slider() const { return slider_; }
    QLabel* sliderLabel() const { return label_; }
    // The shown frame's number in the history and its time since the first.
    QLabel* frameLabel() const { return frameLabel_; }

signals:
    // What the view shows changed; the window repaints.
    void shownChanged();

private:
    void showChange();
    void updateSlider();

    QWidget& window_;
    ViewerSession& session_;
    ViewerState& live_;
    LookBack& lookBack_;
    QWidget* panel_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* label_ = nullptr;
    QLabel* frameLabel_ = nullptr;
    bool updatingSlider_ = false;
    QRect place_;
    QString baselineSource_; // where the baseline was taken, and when
    QTime baselineTime_;
};

} // namespace meshscope
