#pragma once

// The window's text boxes in the system's colours: the status line, the help
// and the ground of the problem box, with the fonts that fit them.

#include <QFont>
#include <QString>

#include <initializer_list>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace meshscope {

// The fonts of the status and help boxes.
QFont statusFont();
QFont helpFont();

QLineEdit* makeStatusBox(QWidget& window);
// A line wider than the box shows its start, the angles, not its end.
void showStatus(QLineEdit& box, const QString& text);
// The keys' help, as the form shows it.
QPlainTextEdit* makeHelpBox(QWidget& window);
// Problems stand out from the dark view in the system's tooltip colours.
void paintProblemBox(QWidget& box);
// The boxes stay readable above the full-window viewport, whose picture is a
// native window: they are native windows stacked over it.
void stackOverViewport(std::initializer_list<QWidget*> boxes);

} // namespace meshscope
