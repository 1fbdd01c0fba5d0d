#include "TextBoxes.h"

#include "Commands.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>

namespace meshscope {

namespace {

// Colours of the text boxes: dark ground like the system's menu text, with the
// menu colour for the status and the inactive-caption grey for the help.
void paintTextBox(QWidget* box, const QColor& ground, const QColor& text)
{
    QPalette palette = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, ground);
        palette.setColor(group, QPalette::Text, text);
    }
    box->setPalette(palette);
    box->setAutoFillBackground(true);
}

QColor systemColour(QPalette::ColorGroup group, QPalette::ColorRole role)
{
    return QApplication::palette().color(group, role);
}

} // namespace

// Sizes in pixels, so the text keeps its place in the boxes at any device
// pixel ratio or font DPI. The narrow face fits the widest status line
// (angles at -9999, a 15-digit zoom in exponent form, seven-digit counters)
// into the 473-pixel box; the help's longest line and all eleven lines fit
// the 153 x 169 box.
QFont statusFont()
{
    QFont font(QStringLiteral("Liberation Sans Narrow"));
    font.setPixelSize(12);
    return font;
}

QFont helpFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    return font;
}

QLineEdit* makeStatusBox(QWidget& window)
{
    auto* box = new QLineEdit(&window);
    box->setObjectName(QStringLiteral("txtStatus"));
    box->setEnabled(false);
    box->setFont(statusFont());
    paintTextBox(box, systemColour(QPalette::Active, QPalette::WindowText),
                 systemColour(QPalette::Active, QPalette::Window));
    return box;
}

QPlainTextEdit* makeHelpBox(QWidget& window)
{
    auto* box = new QPlainTextEdit(&window);
    box->setObjectName(QStringLiteral("txtCommands"));
    box->setEnabled(false);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setFont(helpFont());
    // The box shows lines; the stored text ends each with CR LF.
    box->setPlainText(QString::fromLatin1(kCommandsHelpText).remove(QLatin1Char('\r')));
    paintTextBox(box, systemColour(QPalette::Active, QPalette::WindowText),
                 systemColour(QPalette::Disabled, QPalette::WindowText));
    return box;
}

void paintProblemBox(QWidget& box)
{
    paintTextBox(&box, systemColour(QPalette::Active, QPalette::ToolTipBase),
                 systemColour(QPalette::Active, QPalette::ToolTipText));
}

void stackOverViewport(std::initializer_list<QWidget*> boxes)
{
    for (QWidget* box : boxes) {
        box->setAttribute(Qt::WA_NativeWindow);
        box->raise();
    }
}

void showStatus(QLineEdit& box, const QString& text)
{
    box.setText(text);
    box.setCursorPosition(0);
}

} // namespace meshscope
