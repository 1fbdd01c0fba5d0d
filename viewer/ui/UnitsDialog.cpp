#include "UnitsDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace meshscope {

namespace {

QString quantityText(const std::optional<Quantity>& quantity)
{
    if (!quantity)
        return {};
    return QString::fromStdString(formatNumber(quantity->amount, 12) + quantity->symbol());
}

} // namespace

UnitsDialog::UnitsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("unitsDialog"));
    setWindowTitle(tr("Units"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    gridStep_ = new QLineEdit(this);
    gridStep_->setPlaceholderText(tr("grid steps, or a length such as 0.5mm"));
    heightUnit_ = new QLineEdit(this);
    heightUnit_->setPlaceholderText(tr("height units, or such as 10um or 0.1kPa"));
    heightUnit_->setMinimumWidth(260);
    fields->addRow(tr("Grid step:"), gridStep_);
    fields->addRow(tr("Height unit:"), heightUnit_);
    layout->addLayout(fields);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("unitsProblem"));
    problem_->setWordWrap(true);
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    connect(ok_, &QPushButton::clicked, this, [this] {
        const Reading reading = read(gridStep_->text(), heightUnit_->text());
        if (!reading.problem.isEmpty())
            return;
        accept();
        emit chosen(reading.units);
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    for (QLineEdit* field : {gridStep_, heightUnit_})
        connect(field, &QLineEdit::textChanged, this, &UnitsDialog::check);
}

void UnitsDialog::showUnits(const SurfaceUnits& units)
{
    gridStep_->setText(quantityText(units.gridStep));
    heightUnit_->setText(quantityText(units.heightUnit));
    gridStep_->selectAll();
    gridStep_->setFocus();
    check();
}

UnitsDialog::Reading UnitsDialog::read(const QString& gridStep, const QString& heightUnit)
{
    Reading reading;
    QStringList problems;
    if (!gridStep.trimmed().isEmpty()) {
        const UnitOption step = readGridStep(gridStep.trimmed().toStdString());
        reading.units.gridStep = step.quantity;
        if (!step.quantity)
            problems << QString::fromStdString(step.error);
    }
    if (!heightUnit.trimmed().isEmpty()) {
        const UnitOption unit = readHeightUnit(heightUnit.trimmed().toStdString());
        reading.units.heightUnit = unit.quantity;
        if (!unit.quantity)
            problems << QString::fromStdString(unit.error);
    }
    reading.problem = problems.join(QLatin1Char('\n'));
    return reading;
}

// Each change of a field is read at once: the problem shows while it stands.
void UnitsDialog::check()
{
    const QString problem = read(gridStep_->text(), heightUnit_->text()).problem;
    ok_->setEnabled(problem.isEmpty());
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    layout()->activate();
    adjustSize();
}

// The dialog is made when first asked for, as the source dialog is.
void openUnitsDialogOn(QAction& item, QWidget* window, std::function<SurfaceUnits()> current,
                       std::function<void(const SurfaceUnits&)> choose)
{
    QObject::connect(&item, &QAction::triggered, window,
                     [window, current = std::move(current), choose = std::move(choose)] {
                         auto* dialog = window->findChild<UnitsDialog*>(QString(), Qt::FindDirectChildrenOnly);
                         if (!dialog) {
                             dialog = new UnitsDialog(window);
                             QObject::connect(dialog, &UnitsDialog::chosen, window, choose);
                         }
                         dialog->showUnits(current());
                         dialog->open();
                     });
}

} // namespace meshscope
