#include "frmVimo.h"

#include "Commands.h"
#include "DataFile.h"
#include "ExampleCapture.h"
#include "HandlerReport.h"
#include "MeasureView.h"
#include "ProgramStart.h"
#include "ScenePaint.h"
#include "SceneSetup.h"
#include "SerialInput.h"
#include "SourceMenu.h"
#include "StatisticsPanel.h"
#include "TrendChart.h"
#include "UnitsDialog.h"
#include "VornCtl.h"
#include "WindowMenu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScopedValueRollback>

#include <unistd.h>

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

void enableTimer(QTimer& timer, int intervalMs)
{
    // QTimer::setInterval and QTimer::start both restart a running countdown.
    if (timer.interval() != intervalMs)
        timer.setInterval(intervalMs);
    if (!timer.isActive())
        timer.start();
}

frmVimo::frmVimo(int commPort, const QString& devicePath, QWidget* parent)
    : QWidget(parent), ms_Comm(commPort, devicePath), commPort_(commPort)
{
    setWindowTitle(QStringLiteral("Interpolation Visualization"));
    resize(designWidth, designHeight);
    vorn::placeOnScreen(*this); // a screen smaller than the design gets a smaller window
    vorn::keepSizeAcrossScales(*this);

    connect(&ms_Comm, &InputLine::lost, this, &frmVimo::onLineLost);

    tmrCommPort.setInterval(10);
    tmrAnimate.setInterval(1);
    connect(&tmrCommPort, &QTimer::timeout, this, &frmVimo::onPollTick);
    connect(&tmrAnimate, &QTimer::timeout, this, &frmVimo::onAnimationTick);

    createControls();
    connect(&ms_Comm, &InputLine::problem, txtOut, &ProblemBox::showProblem);
    connect(&ms_Comm, &InputLine::resolved, txtOut, &ProblemBox::clearStanding);
    saving_ = std::make_unique<Saving>(*this, *VornCtl1, state_, *this);
    lookBackBar_ = new LookBackBar(*this, state_);
    connect(lookBackBar_, &LookBackBar::shownChanged, this, [this] { RequestRedraw(); });
    connect(lookBackBar_, &LookBackBar::problem, this,
            [this](const QString& text) { reportProblem(text.toStdString()); });
    connect(lookBackBar_, &LookBackBar::remark, this, [](const QString& text) { vorn::reportNotice(text); });
    const WindowCommands commands{
        .key = [this](QChar key) { onKey(key); },
        .savePicture = [this] { saving_->savePicture(); },
        .saveGrid = [this] { saving_->saveGrid(lookBackBar_->lookBack().shownState(state_)); },
        .copyPicture = [this] { saving_->copyPicture(); },
        .lineRunning = [this] { return pollTimerEnabled(); },
        .openMenu = [this](const QPoint& at) { menu_->menu()->popup(at); },
        .watchViewport =
            [this](const QEvent& event) {
                if (measure_) // the viewport has events while the window is built
                    measure_->followPointer(event);
            },
        .otherChord = [this](const QKeyEvent& key) { return lookBackBar_->handleChord(key); },
    };
    input_ = std::make_unique<WindowInput>(*this, *VornCtl1, state_, *this, commands);
    measure_ = new MeasureView(
        this, VornCtl1, [this]() -> const ViewerState& { return lookBackBar_->lookBack().shownState(state_); },
        [this] { return ms_Comm.PortOpen() && !ms_Comm.ended(); }, [this] { return !pollTimerEnabled(); });
    saving_->setOnDone([this](const QString& said) { measure_->say(said); });
    connect(&ms_Comm, &InputLine::captureEnded, measure_, [this](const QString& text) { measure_->say(text, true); });
    lookBackBar_->setSourceName([this] { return QString::fromStdString(measure_->health().port); });
    createPanels(commands);
    // The no-data problem stands in the box while no problem of the line does;
    // a problem the line says takes its place.
    connect(measure_, &MeasureView::quietProblem, this, [this](const QString& text) {
        if (!text.isEmpty()) {
            vorn::reportError(text);
            quietProblem_ = text;
            txtOut->showProblem(text, true);
        } else if (!quietProblem_.isEmpty()) {
            quietProblem_.clear();
            txtOut->clearStanding();
        }
    });
    connect(&ms_Comm, &InputLine::problem, this, [this](const QString&, bool standing) {
        if (standing)
            quietProblem_.clear();
    });
    placeBoxes();
}

// The panels beside the picture and the menu that shows them and chooses
// what they show.
void frmVimo::createPanels(const WindowCommands& commands)
{
    statistics_ = new StatisticsPanel(this);
    trend_ = new TrendChart(this, lookBackBar_->lookBack());
    sourceMenu_ = new SourceMenu([this] { return ms_Comm.name(); }, [this] { return int(ms_Comm.baudRate()); }, this);
    connect(sourceMenu_, &SourceMenu::sourceChosen, this, &frmVimo::switchSource);
    connect(sourceMenu_, &SourceMenu::baudChosen, this, &frmVimo::switchBaudRate);
    levelMenu_ = new LevelMenu(this);
    connect(levelMenu_, &LevelMenu::levellingChosen, this, &frmVimo::setLevelling);
    connect(measure_, &MeasureView::cellsPinned, levelMenu_, &LevelMenu::setPinnedCells);
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

QMenu* frmVimo::viewMenu() const
{
    return menu_->menu();
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
        followStatistics();
    }
}

void frmVimo::setUnits(const SurfaceUnits& units)
{
    statistics_->setUnits(units);
    measure().setUnits(units);
    trend_->setUnits(units);
    if (statistics_->isVisible())
        followStatistics();
}

void frmVimo::setLevelling(const Levelling& levelling)
{
    levelMenu_->showLevelling(levelling);
    lookBackBar_->lookBack().setLevelling(levelling);
    RequestRedraw();
}

// The shown frame's own points: the frozen history frame's, or the last frame's.
void frmVimo::followStatistics()
{
    LookBack& lookBack = lookBackBar_->lookBack();
    PointStatistics points;
    if (const auto frame = lookBack.shownFrame())
        points = pointStatistics(lookBack.history().at(*frame).lastPoint, lookBack.history().at(*frame).ptZ);
    else if (state_.newFrameCount > 0)
        points = pointStatistics(state_.lastPoint, state_.ptZ);
    const ViewerState& shown = lookBack.shownState(state_);
    statistics_->follow(shown, points, lookBack.levellingApplied() ? lookBack.levelling() : Levelling{});
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
    RequestRedraw();
}

// What the old line brought up to its last ">" is still taken; a frame it
// left unfinished could only be completed by the new line's bytes.
void frmVimo::switchSource(const QString& name)
{
    const std::int32_t rate = ms_Comm.baudRate();
    vorn::runHandler(QStringLiteral("source"), [this] { lineLost(state_, *this); });
    ms_Comm.close();
    quietProblem_.clear();
    txtOut->clearStanding();
    vorn::runHandler(QStringLiteral("source"), [this, &name, rate] {
        ms_Comm.setPort(commPort_, name); // the dialog has checked a network name
        if (rate > 0)
            ms_Comm.setBaudRate(rate);
        ms_Comm.open();
        ms_Comm.setPaused(!pollTimerEnabled());
    });
    measure_->lineOpened(ms_Comm.name(), ms_Comm.baudRate());
}

void frmVimo::switchBaudRate(int rate)
{
    if (ms_Comm.isNetwork())
        return;
    ms_Comm.setBaudRate(rate);
    switchSource(ms_Comm.name());
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
    connect(VornCtl1, &VornCtl::initialization, this, &frmVimo::onInitialization);
    connect(VornCtl1, &VornCtl::paint, this, &frmVimo::onPaint);
    if (frameTimes_.on())
        connect(VornCtl1, &VornCtl::framePresented, this, [this] { frameTimes_.swapped(); });

    const QPalette system = QApplication::palette();
    const QColor menuText = system.color(QPalette::Active, QPalette::WindowText);
    const QColor menu = system.color(QPalette::Active, QPalette::Window);
    const QColor inactiveCaption = system.color(QPalette::Disabled, QPalette::WindowText);

    txtOut = new ProblemBox(*this, QRect(8, 616, 1057, 89), QSize(designWidth, designHeight));
    // Problems stand out from the dark view in the system's tooltip colours.
    paintTextBox(txtOut, system.color(QPalette::Active, QPalette::ToolTipBase),
                 system.color(QPalette::Active, QPalette::ToolTipText));

    txtStatus = new QLineEdit(this);
    txtStatus->setEnabled(false);
    txtStatus->setFont(statusFont());
    paintTextBox(txtStatus, menuText, menu);

    txtCommands = new QPlainTextEdit(this);
    txtCommands->setEnabled(false);
    txtCommands->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtCommands->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCommands->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCommands->setFont(helpFont());
    // The box shows lines; the stored text ends each with CR LF.
    txtCommands->setPlainText(QString::fromLatin1(kCommandsHelpText).remove(QLatin1Char('\r')));
    paintTextBox(txtCommands, menuText, inactiveCaption);

    // The help and the status stay readable above the full-window viewport,
    // whose picture is a native window: they are native windows stacked over it.
    for (QWidget* box :
         {static_cast<QWidget*>(txtStatus), static_cast<QWidget*>(txtCommands), static_cast<QWidget*>(txtOut)}) {
        box->setAttribute(Qt::WA_NativeWindow);
        box->raise();
    }
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
    loaded_ = true;
    applyStartValues(state_);
    tmrAnimate.setInterval(250);
    VornCtl1->setScaleUnitsPerPixel(1);
    VornCtl1->setBooleanProperty1(true);
    ms_Comm.open();
    // The poll runs before the health line first looks: a line not yet polled is not paused.
    enableTimer(tmrCommPort, 10);
    measure_->lineOpened(ms_Comm.name(), ms_Comm.baudRate());
    vorn::runHandler(QStringLiteral("serial poll"), [this] { serialPollTick(state_, *this); });
    state_.interpCount = 0;
    state_.okCount = 0;
    bool dataRead = false;
    // A capture or a network source brings the frames: a data file that is
    // not there is mentioned once, not kept over the surface.
    const QScopedValueRollback<bool> mention(
        onlyMention_, (ms_Comm.isNetwork() || ms_Comm.isReplay()) && ::access(state_.dataFile.c_str(), F_OK) != 0);
    vorn::runHandler(QStringLiteral("data file"),
                     [this, &dataRead] { dataRead = CheckFile(state_, *this, state_.dataFile); });
    if (!dataRead && !ms_Comm.PortOpen())
        adviseExample();
}

// Nothing to draw at start: the box names the example capture that shows
// what the program does, and the command that opens it.
void frmVimo::adviseExample()
{
    const QString capture = exampleCapture(QCoreApplication::applicationDirPath());
    if (capture.isEmpty())
        return;
    const QString advice = QStringLiteral("Nothing to show yet? Open the example capture: %1 --replay %2")
                               .arg(QApplication::applicationName(), capture);
    txtOut->setAdvice(advice);
    vorn::reportNotice(advice);
}

void frmVimo::onLineLost()
{
    vorn::runHandler(QStringLiteral("serial poll"), [this] { lineLost(state_, *this); });
}

frmVimo::SetupKey frmVimo::currentSetup() const
{
    return {state_.setupRevision, VornCtl1->Width(), VornCtl1->Height()};
}

frmVimo::PictureKey frmVimo::currentPicture() const
{
    return {currentSetup(), state_.pictureRevision, lookBackBar_->lookBack().revision(), VornCtl1->devicePixelRatioF()};
}

// Every accepted frame runs the set-up, and a quiet line re-takes its last
// frame every 10 ms; the same projection and lights set again change nothing,
// so the GL calls are made only when one of their inputs changed.
void frmVimo::sceneSetup()
{
    const SetupKey key = currentSetup();
    if (appliedSetup_ != key) {
        setUpScene(*VornCtl1, state_);
        if (VornCtl1->isValid()) // calls made before the context exists are dropped
            appliedSetup_ = key;
    }
    enableTimer(tmrAnimate, 250);
}

void frmVimo::onInitialization()
{
    appliedSetup_.reset();
    shownPicture_.reset();
    sceneSetup();
}

// Every animation tick asks for a redraw, and a quiet line re-takes the same
// frame every 10 ms; a frame that would show the same picture is skipped.
// A key always repaints.
void frmVimo::RequestRedraw()
{
    if (!inKey_ && shownPicture_ == currentPicture())
        return;
    VornCtl1->RequestRedraw();
}

int frmVimo::InBufferCount()
{
    return ms_Comm.InBufferCount();
}

std::string frmVimo::Input()
{
    return ms_Comm.Input();
}

void frmVimo::recordTo(const QString& path)
{
    ms_Comm.recordTo(path);
}

bool frmVimo::pollTimerEnabled() const
{
    return tmrCommPort.isActive();
}

void frmVimo::setPollTimerEnabled(bool enabled)
{
    ms_Comm.setPaused(!enabled);
    if (enabled)
        enableTimer(tmrCommPort, tmrCommPort.interval());
    else
        tmrCommPort.stop();
}

// The status is refreshed on every 10 ms poll; once the animation runs, the
// box shows the latest text at each animation tick, together with the
// picture, so it repaints at most four times a second.
void frmVimo::setStatusText(const std::string& text)
{
    pendingStatus_ = QString::fromStdString(text);
    if (!tmrAnimate.isActive())
        showPendingStatus();
}

void frmVimo::showPendingStatus()
{
    if (txtStatus->text() == pendingStatus_)
        return;
    txtStatus->setText(pendingStatus_);
    // A line wider than the box shows its start, the angles, not its end.
    txtStatus->setCursorPosition(0);
}

void frmVimo::reportProblem(const std::string& message)
{
    const QString text = QString::fromStdString(message);
    vorn::reportError(text);
    if (!onlyMention_)
        txtOut->showProblem(text, false);
}

// An error inside the paint ends the frame before PresentFrame, so a broken
// frame is never shown; the viewport reports it and keeps running.
// The viewport paints on its own when it is resized, before the window's
// resize handler runs, so the set-up is brought up to date here first.
void frmVimo::onPaint()
{
    frameTimes_.paintStarted();
    shownPicture_.reset();
    if (appliedSetup_ != currentSetup())
        sceneSetup();
    // A frozen frame or a difference is drawn from a copy of the state.
    LookBack& lookBack = lookBackBar_->lookBack();
    ViewerState& shown = lookBack.shownState(state_);
    // Fitted to what is drawn, about zero for a difference or a levelled
    // surface; kept in the live state too, so every later copy carries them.
    const bool aboutZero = lookBack.differenceShown() || lookBack.levelling().active();
    state_.fittedColours = coloursFitted_ ? fittedColoursOf(shown, aboutZero) : std::nullopt;
    shown.fittedColours = state_.fittedColours;
    paintScene(*VornCtl1, shown, samples_);
    shownPicture_ = currentPicture();
    measure_->afterPaint();
    if (statistics_->isVisible())
        followStatistics();
    if (trend_->isVisible()) {
        placeHistoryPanel();
        trend_->follow(state_.smoothLevel);
    }
    frameTimes_.paintEnded();
    measure_->showDifference(lookBackBar_->differenceText());
}

// A re-take of the last frame leaves the grid as it was and asks for nothing.
// With --live a new frame is painted before the health line and the history
// take their share of the poll, which can wait.
void frmVimo::onPollTick()
{
    const std::uint64_t grid = state_.gridRevision;
    frameTimes_.pollStarted();
    std::optional<PollTick> tick;
    vorn::runHandler(QStringLiteral("serial poll"), [this, &tick] {
        tick = serialPollTick(state_, *this);
        if (ms_Comm.ended()) // a played capture's last frame is taken once, not again at every poll
            clearReceived(state_);
    });
    if (state_.gridRevision != grid) {
        frameTimes_.frameTaken();
        if (live_)
            paintNewFrame();
    }
    if (!tick)
        return;
    vorn::runHandler(QStringLiteral("serial poll"), [this, &tick] {
        measure_->notePoll(*tick);
        lookBackBar_->afterTick();
    });
}

void frmVimo::paintNewFrame()
{
    if (shownPicture_ != currentPicture())
        VornCtl1->RedrawNow();
}

void frmVimo::onAnimationTick()
{
    vorn::runHandler(QStringLiteral("animation"), [this] { animationTick(state_, *this); });
    showPendingStatus();
    lookBackBar_->refreshAge();
    placeHistoryPanel(); // the problem box comes and goes
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

void frmVimo::onKey(QChar key)
{
    const std::string text = QString(key).toStdString();
    const QScopedValueRollback<bool> keyRedraw(inKey_, true);
    vorn::runHandler(QStringLiteral("key press"), [this, &text] { handleKey(state_, *this, text); });
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
    if (loaded_) {
        sceneSetup();
        RequestRedraw();
    }
}

void frmVimo::closeEvent(QCloseEvent* event)
{
    ms_Comm.close();
    QWidget::closeEvent(event);
}

} // namespace meshscope
