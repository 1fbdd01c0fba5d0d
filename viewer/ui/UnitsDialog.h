#pragma once

// The units of the shown surface chosen in the window: what one grid step
// and one height unit are, read as --grid-step and --height-unit read them.

#include "Units.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QAction;
class QPushButton;

namespace meshscope {

// Two fields, either left empty for grid steps or height units as they
// come; what is wrong with a field is said in the dialog, and OK waits
// until both read.
class UnitsDialog : public QDialog {
    Q_OBJECT
public:
    explicit UnitsDialog(QWidget* parent = nullptr);

    // The fields show units, and no problem.
    void showUnits(const SurfaceUnits& units);
    QLineEdit* gridStepBox() const { return gridStep_; }
    QLineEdit* heightUnitBox() const { return heightUnit_; }
    QLabel* problemLabel() const { return problem_; }
    QPushButton* okButton() const { return ok_; }

    // The units the fields name, or what is wrong with them.
    struct Reading {
        SurfaceUnits units;
        QString problem;
    };
    static Reading read(const QString& gridStep, const QString& heightUnit);

signals:
    void chosen(const meshscope::SurfaceUnits& units);

private:
    void check();

    QLineEdit* gridStep_;
    QLineEdit* heightUnit_;
    QLabel* problem_;
    QPushButton* ok_;
};

// The "Units…" item opens the dialog over window with the units now, and
// hands on the units chosen.
void openUnitsDialogOn(QAction& item, QWidget* window, std::function<SurfaceUnits()> current,
                       std::function<void(const SurfaceUnits&)> choose);

} // namespace meshscope
