#pragma once

// The window's text boxes in the system's colours: the status line, the help
// and the ground of the problem box, with the fonts that fit them.

#include <QFont>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace meshscope {

// The fonts of the status and help boxes.
QFont statusFont();
QFont helpFont();

QLineEdit* makeStatusBox(QWidget& window);
// The keys' help, as the form shows it.
QPlainTextEdit* makeHelpBox(QWidget& window);
// Problems stand out from the dark view in the system's tooltip colours.
void paintProblemBox(QWidget& box);

} // namespace meshscope
