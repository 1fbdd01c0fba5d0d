#include "ProblemBox.h"

#include <QRect>
#include <QSize>
#include <QStringList>

#include <algorithm>

namespace meshscope {

ProblemBox::ProblemBox(QWidget& form, const QRect& place, const QSize& designForm)
    : QPlainTextEdit(QStringLiteral("Text1"), &form), left_(place.left()),
      right_(designForm.width() - place.left() - place.width()),
      bottom_(designForm.height() - place.top() - place.height()), height_(place.height())
{
    setGeometry(place);
    setEnabled(false);
    hide();
    // One problem per line, wrapped, so a second problem or a long path is
    // never cut off at the box's edge.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont problemFont(QStringLiteral("Liberation Sans"));
    problemFont.setPixelSize(14);
    setFont(problemFont);

    eventTimer_.setSingleShot(true);
    eventTimer_.setInterval(eventMs);
    connect(&eventTimer_, &QTimer::timeout, this, [this] {
        event_.clear();
        refresh();
    });
}

void ProblemBox::showProblem(const QString& text, bool standing)
{
    if (standing) {
        standing_ = text;
    } else {
        event_ = text;
        eventTimer_.start();
    }
    refresh();
}

void ProblemBox::clearStanding()
{
    standing_.clear();
    advice_.clear();
    refresh();
}

void ProblemBox::setAdvice(const QString& text)
{
    advice_ = text;
    refresh();
}

void ProblemBox::refresh()
{
    QStringList lines;
    for (const QString& line : {standing_, event_, standing_.isEmpty() ? QString() : advice_})
        if (!line.isEmpty() && !lines.contains(line))
            lines << line;
    if (lines.isEmpty()) {
        hide();
        return;
    }
    setPlainText(lines.join(QLatin1Char('\n')));
    show();
    raise();
}

void ProblemBox::keepAtTheBottom()
{
    // The form's margins in the design, kept on any size so a smaller or
    // fitted window still shows its problems.
    const QWidget& form = *parentWidget();
    setGeometry(left_, form.height() - bottom_ - height_, std::max(form.width() - left_ - right_, 0), height_);
}

} // namespace meshscope
