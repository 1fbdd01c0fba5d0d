#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>

class QRect;
class QSize;

namespace meshscope {

// The window's bottom box: the problem that stands (a port that cannot be
// opened, a lost line) and the latest one-off problem, which goes after
// eventMs; hidden while there is neither.
class ProblemBox : public QPlainTextEdit {
public:
    // Placed at place in a form of the design size; it keeps the margins
    // that leaves on the left, right and bottom as the form changes size.
    ProblemBox(QWidget& form, const QRect& place, const QSize& designForm);

    void showProblem(const QString& text, bool standing);
    // The standing problem is over; its advice goes with it.
    void clearStanding();
    // A line of advice shown under the standing problem while it stands.
    void setAdvice(const QString& text);
    // Follows the form's new size; call on each resize.
    void keepAtTheBottom();

    // How long a one-off problem stays in the box.
    static constexpr int eventMs = 15000;

private:
    void refresh();

    int left_; // the margins to the form's edges in the design
    int right_;
    int bottom_;
    int height_;
    QString standing_;
    QString event_;
    QString advice_;
    QTimer eventTimer_;
};

} // namespace meshscope
