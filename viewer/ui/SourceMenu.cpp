#include "SourceMenu.h"

#include "LineOpening.h"
#include "PortList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace meshscope {

SourceDialog::SourceDialog(const QString& current, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("sourceDialog"));
    setWindowTitle(tr("Network source"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        tr("tcp://HOST:PORT, udp://[ADDRESS]:PORT, mqtt://HOST/TOPIC, mqtts://HOST/TOPIC or a device path:"), this));
    name_ = new QLineEdit(current, this);
    name_->setMinimumWidth(320);
    layout->addWidget(name_);
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(tr("Open"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    connect(ok, &QPushButton::clicked, this, &SourceDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SourceDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

QString SourceDialog::problemWith(const QString& name)
{
    if (name.trimmed().isEmpty())
        return tr("a device path or a network source is wanted, not an empty name");
    return lineNameProblem(name);
}

void SourceDialog::showName(const QString& name)
{
    name_->setText(name);
    name_->selectAll(); // typing replaces it
    name_->setFocus();
    problem_->hide();
}

void SourceDialog::accept()
{
    const QString name = name_->text().trimmed();
    const QString problem = problemWith(name);
    if (!problem.isEmpty()) {
        problem_->setText(problem);
        problem_->show();
        // Grown to hold the whole text above the buttons, however many lines it wraps to.
        layout()->activate();
        adjustSize();
        return;
    }
    QDialog::accept();
    emit chosen(name);
}

SourceMenu::SourceMenu(std::function<QString()> currentName, std::function<int()> currentBaud, QWidget* window)
    : QMenu(tr("Source"), window), currentName_(std::move(currentName)), currentBaud_(std::move(currentBaud)),
      window_(window)
{
    connect(this, &QMenu::aboutToShow, this, &SourceMenu::rebuild);
    rebuild();
}

const QList<int>& SourceMenu::standardRates()
{
    static const QList<int> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    return rates;
}

void SourceMenu::openDialog()
{
    if (!dialog_) {
        dialog_ = new SourceDialog(currentName_(), window_);
        connect(dialog_, &SourceDialog::chosen, this, &SourceMenu::sourceChosen);
    }
    dialog_->showName(currentName_());
    dialog_->open();
}

// The ports are listed afresh each time the menu opens: an adapter may have
// been plugged in since.
void SourceMenu::rebuild()
{
    clear();
    const QString current = currentName_();
    const QStringList ports = serialPortLines();
    for (const QString& line : ports) {
        const QString path = line.section(QStringLiteral(": "), 0, 0);
        QAction* action = addAction(line);
        action->setCheckable(true);
        action->setChecked(path == current);
        connect(action, &QAction::triggered, this, [this, path] { emit sourceChosen(path); });
    }
    if (ports.isEmpty())
        addAction(tr("No serial ports found"))->setEnabled(false);
    addSeparator();
    connect(addAction(tr("Network source…")), &QAction::triggered, this, &SourceMenu::openDialog);

    QMenu* rates = addMenu(tr("Baud rate"));
    const int baud = currentBaud_();
    rates->setEnabled(baud > 0);
    for (const int rate : standardRates()) {
        QAction* action = rates->addAction(QString::number(rate));
        action->setCheckable(true);
        action->setChecked(rate == baud);
        connect(action, &QAction::triggered, this, [this, rate] { emit baudChosen(rate); });
    }
}

} // namespace meshscope
