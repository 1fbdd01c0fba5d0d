#pragma once

// The "Source" menu: the serial ports found (as --list-ports prints them),
// a dialog for a network source or any other device, and the line speed of a
// serial port. It only chooses; the window switches the line.

#include <QDialog>
#include <QMenu>

#include <functional>

class QLabel;
class QLineEdit;

namespace meshscope {

// Takes any name --port takes (a device path, tcp://, udp://, mqtt://,
// mqtts://), with the same checks; a wrong name is said whole in the dialog,
// which stays open.
class SourceDialog : public QDialog {
    Q_OBJECT
public:
    explicit SourceDialog(const QString& current, QWidget* parent = nullptr);
    QLineEdit* nameBox() const { return name_; }
    QLabel* problemLabel() const { return problem_; }
    // The field holds name, selected; no problem is shown.
    void showName(const QString& name);
    void accept() override;

    // Empty when name is one --port takes; otherwise what is wrong with it.
    static QString problemWith(const QString& name);

signals:
    void chosen(const QString& name);

private:
    QLineEdit* name_;
    QLabel* problem_;
};

class SourceMenu : public QMenu {
    Q_OBJECT
public:
    // current: the line's name and, for a serial port, its speed (0 otherwise);
    // window: the dialog's parent.
    SourceMenu(std::function<QString()> currentName, std::function<int()> currentBaud, QWidget* window);

    // Opens the dialog without blocking (tests fill it through dialog()).
    void openDialog();
    SourceDialog* dialog() const { return dialog_; }

    static const QList<int>& standardRates();

signals:
    void sourceChosen(const QString& name);
    void baudChosen(int rate);

private:
    void rebuild();

    std::function<QString()> currentName_;
    std::function<int()> currentBaud_;
    QWidget* window_;
    SourceDialog* dialog_ = nullptr;
};

} // namespace meshscope
