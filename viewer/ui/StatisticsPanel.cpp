#include "StatisticsPanel.h"

#include <QActionGroup>

namespace meshscope {

namespace {

QString cellText(const GridCell& cell)
{
    return QStringLiteral("(%1, %2)").arg(cell.x).arg(cell.y);
}

} // namespace

QString levellingText(const Levelling& levelling)
{
    QStringList parts;
    if (levelling.tilt == TiltRemoval::BestFitPlane)
        parts << QObject::tr("best-fit plane taken away");
    else if (levelling.tilt == TiltRemoval::ThroughThreeCells)
        parts << QObject::tr("plane through three cells taken away");
    if (levelling.zero == ZeroAt::Minimum)
        parts << QObject::tr("zero at the minimum");
    else if (levelling.zero == ZeroAt::Mean)
        parts << QObject::tr("zero at the mean");
    return parts.join(QStringLiteral(", "));
}

QString statisticsLines(const SurfaceStatistics& stats, const PointStatistics& points, const SurfaceUnits& units,
                        const Levelling& levelling)
{
    const auto height = [&](double value) { return QString::fromStdString(units.height(shownValue(value, stats))); };
    QStringList lines;
    lines << QStringLiteral("min %1 at %2").arg(height(stats.minimum), cellText(stats.minimumCell))
          << QStringLiteral("max %1 at %2").arg(height(stats.maximum), cellText(stats.maximumCell))
          << QStringLiteral("range %1").arg(height(stats.range())) << QStringLiteral("mean %1").arg(height(stats.mean))
          << QStringLiteral("Sq %1").arg(height(stats.sq)) << QStringLiteral("Sa %1").arg(height(stats.sa));
    if (points.count > 0)
        lines << QObject::tr("%1 points, %2 to %3")
                     .arg(points.count)
                     .arg(QString::fromStdString(units.height(points.minimum)),
                          QString::fromStdString(units.height(points.maximum)));
    if (!units.heightUnit)
        lines << QObject::tr("in height units");
    if (levelling.active())
        lines << QObject::tr("levelled: %1").arg(levellingText(levelling));
    return lines.join(QLatin1Char('\n'));
}

StatisticsPanel::StatisticsPanel(QWidget* window) : QLabel(window)
{
    setObjectName(QStringLiteral("statisticsPanel"));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    setFont(font);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMargin(4);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);
    hide();
}

void StatisticsPanel::follow(LookBack& lookBack, ViewerState& live)
{
    PointStatistics points;
    if (const auto frame = lookBack.shownFrame())
        points = pointStatistics(lookBack.history().at(*frame).lastPoint, lookBack.history().at(*frame).ptZ);
    else if (live.newFrameCount > 0)
        points = pointStatistics(live.lastPoint, live.ptZ);
    const ViewerState& shown = lookBack.shownState(live);
    follow(shown, points, lookBack.levellingApplied() ? lookBack.levelling() : Levelling{});
}

void StatisticsPanel::follow(const ViewerState& shown, const PointStatistics& points, const Levelling& levelling)
{
    const SurfaceStatistics stats = surfaceStatistics(drawnSurface(shown));
    setText(stats.cells == 0 ? tr("no surface drawn") : statisticsLines(stats, points, units_, levelling));
    adjustSize();
}

void StatisticsPanel::place(const QRect& helpBox)
{
    move(helpBox.left(), helpBox.bottom() + 7);
    raise();
}

LevelMenu::LevelMenu(QWidget* parent) : QMenu(tr("Level"), parent)
{
    auto* tilt = new QActionGroup(this);
    none_ = addAction(tr("No levelling"));
    plane_ = addAction(tr("Take away the best-fit plane"));
    threeCells_ = addAction(tr("Take away the plane through three pinned cells"));
    setToolTipsVisible(true);
    addSeparator();
    auto* zero = new QActionGroup(this);
    zeroNone_ = addAction(tr("Zero as measured"));
    zeroMin_ = addAction(tr("Zero at the minimum"));
    zeroMean_ = addAction(tr("Zero at the mean"));
    for (QAction* action : {none_, plane_, threeCells_})
        tilt->addAction(action);
    for (QAction* action : {zeroNone_, zeroMin_, zeroMean_})
        zero->addAction(action);
    for (QAction* action : {none_, plane_, threeCells_, zeroNone_, zeroMin_, zeroMean_}) {
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, action] { emit levellingChosen(chosen(action)); });
    }
    showLevelling(Levelling{});
    setPinnedCells({});
}

void LevelMenu::setPinnedCells(const std::vector<GridCell>& cells)
{
    pinned_.reset();
    if (cells.size() >= 3) {
        const std::array<GridCell, 3> last{cells[cells.size() - 3], cells[cells.size() - 2], cells.back()};
        if (cellsMakeAPlane(last))
            pinned_ = last;
    }
    threeCells_->setEnabled(pinned_.has_value());
    if (pinned_) {
        const auto cell = [](const GridCell& c) { return QStringLiteral("%1, %2").arg(c.x).arg(c.y); };
        threeCells_->setToolTip(
            tr("Through cells %1; %2; %3").arg(cell((*pinned_)[0]), cell((*pinned_)[1]), cell((*pinned_)[2])));
    } else if (cells.size() >= 3) {
        threeCells_->setToolTip(tr("The last three pinned cells lie on one line: pin another cell off it"));
    } else {
        threeCells_->setToolTip(tr("Pin three cells first: a click on the surface pins the cell under it, "
                                   "the next click lets it go (%1 of 3 pinned)")
                                    .arg(cells.size()));
    }
}

void LevelMenu::showLevelling(const Levelling& levelling)
{
    shown_ = levelling;
    plane_->setChecked(levelling.tilt == TiltRemoval::BestFitPlane);
    threeCells_->setChecked(levelling.tilt == TiltRemoval::ThroughThreeCells);
    none_->setChecked(levelling.tilt == TiltRemoval::None);
    zeroMin_->setChecked(levelling.zero == ZeroAt::Minimum);
    zeroMean_->setChecked(levelling.zero == ZeroAt::Mean);
    zeroNone_->setChecked(levelling.zero == ZeroAt::None);
}

Levelling LevelMenu::chosen(const QAction* triggered) const
{
    Levelling levelling;
    levelling.tilt = plane_->isChecked() ? TiltRemoval::BestFitPlane : TiltRemoval::None;
    // The plane keeps the cells it was chosen through until it is chosen again.
    if (threeCells_->isChecked()) {
        levelling.tilt = TiltRemoval::ThroughThreeCells;
        levelling.pinned = triggered == threeCells_ && pinned_ ? *pinned_ : shown_.pinned;
    }
    levelling.zero = zeroMin_->isChecked() ? ZeroAt::Minimum : zeroMean_->isChecked() ? ZeroAt::Mean : ZeroAt::None;
    return levelling;
}

} // namespace meshscope
