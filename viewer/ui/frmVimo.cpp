#include "frmVimo.h"

#include "MeasureView.h"
#include "PaintGate.h"
#include "ProgramStart.h"
#include "ScenePaint.h"
#include "SourceMenu.h"
#include "StatisticsPanel.h"
#include "TextBoxes.h"
#include "TrendChart.h"
#include "UnitsDialog.h"
#include "VornCtl.h"
#include "WindowMenu.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>

namespace meshscope {

frmVimo::frmVimo(int commPort, const QString& devicePath, QWidget* parent)
    : QWidget(parent), session_(commPort, devicePath), state_(session_.state())
{
    setWindowTitle(QStringLiteral("Interpolation Visualization"));
    resize(designWidth, designHeight);
    vorn::placeOnScreen(*this); // a screen smaller than the design gets a smaller window
    vorn::keepSizeAcrossScales(*this);

    createControls();
    saving_ = std::make_unique<Saving>(*this, *VornCtl1, state_, session_);
    lookBackBar_ = new LookBackBar(*this, session_);
    connect(lookBackBar_, &LookBackBar::shownChanged, this, [this] { paintGate_->requestRedraw(false); });
    const WindowCommands commands{
        .key = [this](QChar key) { session_.key(key); },
        .savePicture = [this] { saving_->savePicture(); },
        .saveGrid = [this] { saving_->saveGrid(session_.shownState()); },
        .copyPicture = [this] { saving_->copyPicture(); },
        .lineRunning = [this] { return session_.pollTimerEnabled(); },
        .openMenu = [this](const QPoint& at) { menu_->menu()->popup(at); },
        .watchViewport = [this](const QEvent& event) { measure_->readout().followPointer(event); },
        .otherChord = [this](const QKeyEvent& key) { return lookBackBar_->handleChord(key); },
    };
    measure_ = new MeasureView(this, VornCtl1, session_); // before the input hands it the viewport's events
    input_ = std::make_unique<WindowInput>(*this, *VornCtl1, state_, session_, commands);
    saving_->setOnDone([this](const QString& said) { measure_->say(said); });
    createPanels(commands);
    showSession();
    placeBoxes();
}

// What the session says goes to the boxes; what it asks of GL, to the viewport.
void frmVimo::showSession()
{
    connect(&session_, &ViewerSession::sceneSetupWanted, this, [this] { paintGate_->setUpIfChanged(); });
    connect(&session_, &ViewerSession::redrawWanted, this, [this](bool always) { paintGate_->requestRedraw(always); });
    connect(&session_, &ViewerSession::frameTaken, this, [this] {
        if (live_) // the poll that took a new frame paints it
            paintGate_->paintNowIfChanged();
    });
    connect(&session_, &ViewerSession::statusChanged, this,
            [this](const QString& text) { showStatus(*txtStatus, text); });
    connect(&session_, &ViewerSession::problemShown, txtOut, &ProblemBox::showProblem);
    connect(&session_, &ViewerSession::problemCleared, txtOut, &ProblemBox::clearStanding);
    connect(&session_, &ViewerSession::adviceShown, txtOut, &ProblemBox::setAdvice);
    connect(&session_, &ViewerSession::animationTicked, this, [this] {
        lookBackBar_->refreshAge();
        placeHistoryPanel(); // the problem box comes and goes
    });
}

// The panels beside the picture and the menu that shows them and chooses
// what they show.
void frmVimo::createPanels(const WindowCommands& commands)
{
    statistics_ = new StatisticsPanel(this);
    trend_ = new TrendChart(this, session_.lookBack());
    InputLine& line = session_.inputLine();
    sourceMenu_ = new SourceMenu([&line] { return line.name(); }, [&line] { return int(line.baudRate()); }, this);
    connect(sourceMenu_, &SourceMenu::sourceChosen, &session_, &ViewerSession::switchSource);
    connect(sourceMenu_, &SourceMenu::baudChosen, &session_, &ViewerSession::switchBaudRate);
    levelMenu_ = new LevelMenu(this);
    connect(levelMenu_, &LevelMenu::levellingChosen, this, &frmVimo::setLevelling);
    connect(&measure_->readout(), &Readout::cellsPinned, levelMenu_, &LevelMenu::setPinnedCells);
    menu_ = new WindowMenu(*this, commands, {*lookBackBar_, *sourceMenu_, *levelMenu_, *trend_});
    const ShownChoices& choices = menu_->choices();
    connect(choices.scale, &QAction::toggled, this, &frmVimo::setScaleShown);
    connect(choices.fittedColours, &QAction::toggled, this, &frmVimo::setColoursFitted);
    connect(choices.samples, &QAction::toggled, this, &frmVimo::setSamplesShown);
    connect(choices.statistics, &QAction::toggled, this, &frmVimo::setStatisticsShown);
    connect(choices.trend, &QAction::toggled, this, &frmVimo::setTrendShown);
    openUnitsDialogOn(
        *choices.units, this, [this] { return statistics_->units(); }, [this](const SurfaceUnits& u) { setUnits(u); });
}

void frmVimo::setTrendShown(bool shown)
{
    WindowMenu::check(*menu_->choices().trend, shown);
    trend_->setVisible(shown);
    if (shown) {
        placeHistoryPanel();
        trend_->raise();
        trend_->follow(state_.smoothLevel);
    }
}

void frmVimo::setStatisticsShown(bool shown)
{
    WindowMenu::check(*menu_->choices().statistics, shown);
    statistics_->setVisible(shown);
    if (shown) {
        statistics_->place(txtCommands->geometry());
        statistics_->follow(session_.lookBack(), state_);
    }
}

void frmVimo::setUnits(const SurfaceUnits& units)
{
    statistics_->setUnits(units);
    measure().setUnits(units);
    trend_->setUnits(units);
    if (statistics_->isVisible())
        statistics_->follow(session_.lookBack(), state_);
}

void frmVimo::setLevelling(const Levelling& levelling)
{
    levelMenu_->showLevelling(levelling);
    session_.lookBack().setLevelling(levelling);
    paintGate_->requestRedraw(false);
}

void frmVimo::setScaleShown(bool shown)
{
    WindowMenu::check(*menu_->choices().scale, shown);
    measure_->place(txtStatus->geometry(), txtCommands->geometry(), size());
    measure_->setScaleShown(shown);
}

void frmVimo::setColoursFitted(bool fitted)
{
    setPictureChoice(*menu_->choices().fittedColours, coloursFitted_, fitted);
}

void frmVimo::setSamplesShown(bool shown)
{
    setPictureChoice(*menu_->choices().samples, samples_, shown);
}

// A choice of how the surface is drawn: its menu item follows a choice made
// elsewhere (an option at start), and a change is drawn at once.
void frmVimo::setPictureChoice(QAction& item, bool& choice, bool on)
{
    WindowMenu::check(item, on);
    if (choice == on)
        return;
    choice = on;
    markPictureChanged(state_);
    paintGate_->requestRedraw(false);
}

void frmVimo::setLive(bool live)
{
    live_ = live;
    VornCtl1->setSwapInterval(live ? 0 : 1);
}

frmVimo::~frmVimo() = default;

void frmVimo::createControls()
{
    // Black behind the viewport, so the window shows black before its first frame.
    QPalette ground = palette();
    ground.setColor(QPalette::Window, Qt::black);
    setPalette(ground);
    setAutoFillBackground(true);

    VornCtl1 = new VornCtl(this);
    VornCtl1->setObjectName(QStringLiteral("VornCtl1"));
    paintGate_ = std::make_unique<PaintGate>(*VornCtl1, session_);
    connect(VornCtl1, &VornCtl::initialization, this, [this] {
        paintGate_->forget();
        session_.sceneSetup();
    });
    connect(VornCtl1, &VornCtl::paint, this, &frmVimo::onPaint);
    if (session_.frameTimes().on())
        connect(VornCtl1, &VornCtl::framePresented, this, [this] { session_.frameTimes().swapped(); });

    txtOut = new ProblemBox(*this, QRect(8, 616, 1057, 89), QSize(designWidth, designHeight));
    txtOut->setObjectName(QStringLiteral("txtOut"));
    paintProblemBox(*txtOut);
    txtStatus = makeStatusBox(*this);
    txtCommands = makeHelpBox(*this);

    stackOverViewport({txtStatus, txtCommands, txtOut});
}

void frmVimo::placeBoxes()
{
    // The window's pixels are the viewport's framebuffer pixels (device pixels).
    const double ratio = devicePixelRatio();
    VornCtl1->setLeft(0);
    VornCtl1->setTop(0);
    VornCtl1->setWidth(width() * ratio);
    VornCtl1->setHeight(height() * ratio);
    txtStatus->setGeometry(600, 0, 473, 33);
    txtCommands->setGeometry(0, 0, 153, 169);
    txtOut->keepAtTheBottom();
    measure_->place(txtStatus->geometry(), txtCommands->geometry(), size());
    statistics_->place(txtCommands->geometry());
    placeHistoryPanel();
    // Boxes whose place in logical pixels stays the same still need their
    // native windows sized for a new ratio.
    vorn::refitNativeChildren(*this);
}

void frmVimo::load()
{
    VornCtl1->setScaleUnitsPerPixel(1);
    VornCtl1->setBooleanProperty1(true);
    session_.load();
}

// An error inside the paint ends the frame before PresentFrame, so a broken
// frame is never shown; the viewport reports it and keeps running.
// The viewport paints on its own when it is resized, before the window's
// resize handler runs, so the set-up is brought up to date here first.
void frmVimo::onPaint()
{
    session_.frameTimes().paintStarted();
    paintGate_->paintStarted();
    if (paintGate_->setUpChanged())
        session_.sceneSetup();
    // A frozen frame or a difference is drawn from a copy of the state.
    LookBack& lookBack = session_.lookBack();
    ViewerState& shown = lookBack.shownState(state_);
    // Fitted to what is drawn, about zero for a difference or a levelled
    // surface; kept in the live state too, so every later copy carries them.
    const bool aboutZero = lookBack.differenceShown() || lookBack.levelling().active();
    state_.fittedColours = coloursFitted_ ? fittedColoursOf(shown, aboutZero) : std::nullopt;
    shown.fittedColours = state_.fittedColours;
    paintScene(*VornCtl1, shown, samples_);
    paintGate_->painted();
    measure_->afterPaint();
    if (statistics_->isVisible())
        statistics_->follow(session_.lookBack(), state_);
    if (trend_->isVisible()) {
        placeHistoryPanel();
        trend_->follow(state_.smoothLevel);
    }
    session_.frameTimes().paintEnded();
    measure_->showDifference(lookBackBar_->differenceText());
}

void frmVimo::placeHistoryPanel()
{
    const int bottom = txtOut->isVisible() ? txtOut->y() : height();
    lookBackBar_->place(0, bottom, width());
    // The trend stands on the slider panel while it shows, else on the lower edge.
    if (trend_->isVisible()) {
        const QWidget* slider = lookBackBar_->sliderPanel();
        trend_->place(slider->isVisible() ? slider->y() : bottom, width());
    }
}

// Moved to a screen of another scale, the window takes its size in logical
// pixels again; the boxes are placed again for the new ratio.
bool frmVimo::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ScreenChangeInternal && measure_) // not while the window is built
        placeBoxes();
    return handled;
}

void frmVimo::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeBoxes();
    // The projection follows the viewport's shape, and the resized picture
    // is drawn now rather than at the next change of the state.
    if (session_.loaded()) {
        session_.sceneSetup();
        paintGate_->requestRedraw(false);
    }
}

void frmVimo::closeEvent(QCloseEvent* event)
{
    session_.close();
    QWidget::closeEvent(event);
}

} // namespace meshscope
