#include "WindowMenu.h"

#include "LookBackBar.h"
#include "SourceMenu.h"
#include "StatisticsPanel.h"
#include "TrendChart.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include <utility>

namespace meshscope {

namespace {

QString chord(const QKeySequence& keys)
{
    return keys.toString(QKeySequence::NativeText);
}

} // namespace

WindowMenu::WindowMenu(QWidget& window, WindowCommands commands, const WindowMenuParts& parts)
    : QObject(&window), commands_(std::move(commands)), menu_(new QMenu(&window))
{
    addWindowCommands();
    addLookBack(parts.lookBack);
    addShownChoices(parts);
}

void WindowMenu::check(QAction& item, bool on)
{
    if (item.isChecked() != on)
        item.setChecked(on);
}

QAction* WindowMenu::addCommand(const QString& text, const QString& keys, const std::function<void()>& run)
{
    QAction* action = menu_->addAction(keys.isEmpty() ? text : text + QLatin1Char('\t') + keys);
    connect(action, &QAction::triggered, this, run);
    return action;
}

QAction* WindowMenu::addChoice(const QString& text)
{
    QAction* action = menu_->addAction(text);
    action->setCheckable(true);
    return action;
}

void WindowMenu::addWindowCommands()
{
    addCommand(tr("Save picture"), chord(QKeySequence(Qt::CTRL | Qt::Key_S)), [this] { commands_.savePicture(); });
    addCommand(tr("Save grid"), chord(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
               [this] { commands_.saveGrid(); });
    addCommand(tr("Copy picture"), chord(QKeySequence(Qt::CTRL | Qt::Key_C)), [this] { commands_.copyPicture(); });
    menu_->addSeparator();
    // The same commands as the space and f keys. A key sequence names a
    // letter in capitals, but the keys' case matters here: f is shown as typed.
    const QString space = chord(QKeySequence(Qt::Key_Space));
    QAction* pause = addCommand(tr("Pause the line"), space, [this] { commands_.key(QLatin1Char(' ')); });
    addCommand(tr("Read the data file again"), QStringLiteral("f"), [this] { commands_.key(QLatin1Char('f')); });
    connect(menu_, &QMenu::aboutToShow, this, [this, pause, space] {
        pause->setText((commands_.lineRunning() ? tr("Pause the line") : tr("Resume the line")) + QLatin1Char('\t')
                       + space);
    });
}

void WindowMenu::addLookBack(LookBackBar& lookBack)
{
    LookBackBar* const bar = &lookBack;
    menu_->addSeparator();
    const QString freezeKeys = chord(QKeySequence(Qt::CTRL | Qt::Key_Space));
    QAction* freeze = addCommand(tr("Freeze"), freezeKeys, [bar] { bar->toggleFreeze(); });
    addCommand(tr("Step back"), chord(QKeySequence(Qt::CTRL | Qt::Key_Left)), [bar] { bar->step(-1); });
    addCommand(tr("Step forward"), chord(QKeySequence(Qt::CTRL | Qt::Key_Right)), [bar] { bar->step(1); });
    addCommand(tr("Oldest frame"), chord(QKeySequence(Qt::CTRL | Qt::Key_Home)), [bar] { bar->toOldest(); });
    addCommand(tr("Live"), chord(QKeySequence(Qt::CTRL | Qt::Key_End)), [bar] { bar->goLive(); });
    menu_->addSeparator();
    addCommand(tr("Set baseline"), {}, [bar] { bar->setBaseline(); });
    QAction* difference = addCommand(tr("Show difference"), {}, [bar] { bar->toggleDifference(); });
    difference->setCheckable(true);
    QAction* clear = addCommand(tr("Clear baseline"), {}, [bar] { bar->clearBaseline(); });
    menu_->addSeparator();
    addCommand(tr("Export surface…"), {}, [bar] { bar->chooseExportFile(); });
    connect(menu_, &QMenu::aboutToShow, this, [bar, freeze, freezeKeys, difference, clear] {
        const LookBack& shown = bar->lookBack();
        freeze->setText((shown.frozen() ? tr("Go live") : tr("Freeze")) + QLatin1Char('\t') + freezeKeys);
        difference->setEnabled(shown.hasBaseline());
        difference->setChecked(shown.differenceShown());
        clear->setEnabled(shown.hasBaseline());
    });
}

void WindowMenu::addShownChoices(const WindowMenuParts& parts)
{
    menu_->addSeparator();
    choices_.scale = addChoice(tr("Show colour scale"));
    choices_.fittedColours = addChoice(tr("Fit colours to the surface"));
    choices_.samples = addChoice(tr("Show samples"));
    menu_->addMenu(&parts.source);
    choices_.statistics = addChoice(tr("Show statistics"));
    choices_.units = menu_->addAction(tr("Units…"));
    menu_->addMenu(&parts.level);
    choices_.trend = addChoice(tr("Show trend"));
    addTrendOf(parts.trend);
}

// One item per statistic, the chart's own checked.
void WindowMenu::addTrendOf(TrendChart& chart)
{
    TrendChart* const trend = &chart;
    QMenu* of = menu_->addMenu(tr("Trend of"));
    auto* group = new QActionGroup(of);
    for (const TrendStatistic statistic : kTrendStatistics) {
        const std::string_view name = trendName(statistic);
        QAction* item = of->addAction(QString::fromUtf8(name.data(), qsizetype(name.size())));
        item->setCheckable(true);
        item->setChecked(statistic == trend->statistic());
        group->addAction(item);
        connect(item, &QAction::triggered, trend, [trend, statistic] { trend->setStatistic(statistic); });
    }
    connect(of, &QMenu::aboutToShow, this, [trend, group] {
        for (std::size_t k = 0; k < std::size(kTrendStatistics); ++k)
            group->actions().at(qsizetype(k))->setChecked(kTrendStatistics[k] == trend->statistic());
    });
}

} // namespace meshscope
