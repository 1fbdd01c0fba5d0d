#include "frmVimo.h"

#include "DataFile.h"
#include "Commands.h"
#include "GridText.h"
#include "SceneColor.h"
#include "ProgramStart.h"
#include "ScenePaint.h"
#include "SceneSetup.h"
#include "SerialInput.h"
#include "VornCtl.h"
#include "WindowImage.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeySequence>
#include <QMenu>
#include <QSaveFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScopedValueRollback>

#include <algorithm>
#include <exception>

namespace meshscope {

namespace {

// Where the form places the problem box in the design-size window.
constexpr int problemBoxLeft = 8, problemBoxTop = 616, problemBoxWidth = 1057, problemBoxHeight = 89;

QString programName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("meshscope") : name;
}

void writeErrorLine(const QString& text)
{
    vorn::reportLine(programName(), text);
}

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

frmVimo::frmVimo(int commPort, const QString& devicePath, QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Interpolation Visualization"));
    resize(designWidth, designHeight);
    vorn::placeOnScreen(*this); // a screen smaller than the design gets a smaller window

    ms_Comm.setPort(commPort, devicePath);
    connect(&ms_Comm, &InputLine::lost, this, &frmVimo::onLineLost);
    connect(&ms_Comm, &InputLine::problem, this, &frmVimo::showProblem);
    connect(&ms_Comm, &InputLine::resolved, this, [this] {
        standingProblem_.clear();
        showProblemBox();
    });
    problemTimer_.setSingleShot(true);
    problemTimer_.setInterval(problemEventMs);
    connect(&problemTimer_, &QTimer::timeout, this, [this] {
        eventProblem_.clear();
        showProblemBox();
    });

    tmrCommPort.setInterval(10);
    tmrAnimate.setInterval(1);
    connect(&tmrCommPort, &QTimer::timeout, this, &frmVimo::onPollTick);
    connect(&tmrAnimate, &QTimer::timeout, this, &frmVimo::onAnimationTick);

    createControls();
    qApp->installEventFilter(this);
}

frmVimo::~frmVimo()
{
    qApp->removeEventFilter(this);
}

void frmVimo::createControls()
{
    // Black behind the viewport, so the window shows black before its first frame.
    QPalette ground = palette();
    ground.setColor(QPalette::Window, Qt::black);
    setPalette(ground);
    setAutoFillBackground(true);

    VornCtl1 = new VornCtl(this);
    VornCtl1->setObjectName(QStringLiteral("VornCtl1"));
    VornCtl1->setGeometry(216, 104, 481, 473);
    connect(VornCtl1, &VornCtl::initialization, this, &frmVimo::onInitialization);
    connect(VornCtl1, &VornCtl::paint, this, &frmVimo::onPaint);

    const QPalette system = QApplication::palette();
    const QColor menuText = system.color(QPalette::Active, QPalette::WindowText);
    const QColor menu = system.color(QPalette::Active, QPalette::Window);
    const QColor inactiveCaption = system.color(QPalette::Disabled, QPalette::WindowText);

    txtOut = new QPlainTextEdit(QStringLiteral("Text1"), this);
    txtOut->setGeometry(problemBoxLeft, problemBoxTop, problemBoxWidth, problemBoxHeight);
    txtOut->setEnabled(false);
    txtOut->hide();
    // One problem per line, wrapped, so a second problem or a long path is
    // never cut off at the box's edge.
    txtOut->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtOut->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtOut->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Problems stand out from the dark view in the system's tooltip colours.
    QFont problemFont(QStringLiteral("Liberation Sans"));
    problemFont.setPixelSize(14);
    txtOut->setFont(problemFont);
    paintTextBox(txtOut, system.color(QPalette::Active, QPalette::ToolTipBase),
                 system.color(QPalette::Active, QPalette::ToolTipText));

    txtStatus = new QLineEdit(this);
    txtStatus->setGeometry(600, 0, 473, 33);
    txtStatus->setEnabled(false);
    txtStatus->setFont(statusFont());
    paintTextBox(txtStatus, menuText, menu);

    txtCommands = new QPlainTextEdit(this);
    txtCommands->setGeometry(0, 0, 153, 169);
    txtCommands->setEnabled(false);
    txtCommands->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtCommands->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCommands->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCommands->setFont(helpFont());
    // The box shows lines; the stored text ends each with CR LF.
    txtCommands->setPlainText(QString::fromLatin1(kCommandsHelpText).remove(QLatin1Char('\r')));
    paintTextBox(txtCommands, menuText, inactiveCaption);
    lookBackBar_ = new LookBackBar(*this, state_);
    connect(lookBackBar_, &LookBackBar::shownChanged, this, [this] { RequestRedraw(); });
    connect(lookBackBar_, &LookBackBar::problem, this,
            [this](const QString& text) { reportProblem(text.toStdString()); });
    connect(lookBackBar_, &LookBackBar::remark, this, &writeErrorLine);
    createViewMenu();

    // The help and the status stay readable above the full-window viewport,
    // whose picture is a native window: they are native windows stacked over it.
    for (QWidget* box :
         {static_cast<QWidget*>(txtStatus), static_cast<QWidget*>(txtCommands), static_cast<QWidget*>(txtOut)}) {
        box->setAttribute(Qt::WA_NativeWindow);
        box->raise();
    }
}

void frmVimo::createViewMenu()
{
    viewMenu_ = new QMenu(this);
    // Each item shows its key after a tab, as a menu's shortcut column does.
    const auto add = [this](const QString& text, const QKeySequence& keys, const std::function<void()>& run) {
        QAction* action = viewMenu_->addAction(text + QLatin1Char('\t') + keys.toString(QKeySequence::NativeText));
        connect(action, &QAction::triggered, this, run);
        return action;
    };
    add(tr("Save picture"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { savePicture(); });
    add(tr("Save grid"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { saveGrid(); });
    add(tr("Copy picture"), QKeySequence(Qt::CTRL | Qt::Key_C), [this] { copyPicture(); });
    viewMenu_->addSeparator();
    // The same commands as the space and f keys.
    pauseAction_ = add(tr("Pause the line"), QKeySequence(Qt::Key_Space), [this] { onKey(QLatin1Char(' ')); });
    add(tr("Read the data file again"), QKeySequence(Qt::Key_F), [this] { onKey(QLatin1Char('f')); });
    lookBackBar_->addMenuItems(*viewMenu_);
    connect(viewMenu_, &QMenu::aboutToShow, this, [this] {
        const QString keys = QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText);
        pauseAction_->setText((pollTimerEnabled() ? tr("Pause the line") : tr("Resume the line")) + QLatin1Char('\t')
                              + keys);
    });
}

void frmVimo::load()
{
    loaded_ = true;
    applyStartValues(state_);
    tmrAnimate.setInterval(250);
    VornCtl1->setScaleUnitsPerPixel(1);
    VornCtl1->setBooleanProperty1(true);
    ms_Comm.open();
    enableTimer(tmrCommPort, 10);
    vorn::runHandler(QStringLiteral("serial poll"), [this] { serialPollTick(state_, *this); });
    state_.interpCount = 0;
    state_.okCount = 0;
    vorn::runHandler(QStringLiteral("data file"), [this] { CheckFile(state_, *this, state_.dataFile); });
}

// The lost line's last characters are taken as usual, but a frame they
// leave unfinished is thrown away: bytes read after the return would
// otherwise complete it into a frame the device never sent.
void frmVimo::onLineLost()
{
    vorn::runHandler(QStringLiteral("serial poll"), [this] {
        if (ms_Comm.InBufferCount() > 0)
            state_.rxBuffer += ms_Comm.Input();
        dropUnfinishedFrame(state_);
    });
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
    writeErrorLine(text);
    showProblem(text, false);
}

void frmVimo::showProblem(const QString& text, bool standing)
{
    if (standing) {
        standingProblem_ = text;
    } else {
        eventProblem_ = text;
        problemTimer_.start();
    }
    showProblemBox();
}

void frmVimo::showProblemBox()
{
    QStringList lines;
    for (const QString& line : {standingProblem_, eventProblem_})
        if (!line.isEmpty() && !lines.contains(line))
            lines << line;
    if (lines.isEmpty()) {
        txtOut->hide();
        keepProblemBoxAtTheBottom();
        return;
    }
    txtOut->setPlainText(lines.join(QLatin1Char('\n')));
    txtOut->show();
    txtOut->raise();
    keepProblemBoxAtTheBottom();
}

void frmVimo::keepProblemBoxAtTheBottom()
{
    // The form's margins in the design, kept on any size so a smaller or
    // fitted window still shows its problems.
    constexpr int right = designWidth - problemBoxLeft - problemBoxWidth;
    constexpr int bottom = designHeight - problemBoxTop - problemBoxHeight;
    txtOut->setGeometry(problemBoxLeft, height() - bottom - problemBoxHeight,
                        std::max(width() - problemBoxLeft - right, 0), problemBoxHeight);
    // The history slider runs along the view's lower edge, above any problem.
    lookBackBar_->place(0, txtOut->isVisible() ? txtOut->y() : height(), width());
}

QString frmVimo::savePath(const QString& suffix) const
{
    const QDir dir(saveDir_.isEmpty() ? QDir::currentPath() : saveDir_);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = dir.absoluteFilePath(QStringLiteral("meshscope-%1%2").arg(stamp, suffix));
    // A second save within the same second keeps the first.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.absoluteFilePath(QStringLiteral("meshscope-%1-%2%3").arg(stamp).arg(n).arg(suffix));
    return path;
}

// The window may just have been uncovered (by the menu, say): the picture is
// taken once the viewport has presented a frame since.
void frmVimo::whenPictureShown(const std::function<void(const QImage&)>& use)
{
    connect(
        VornCtl1, &VornCtl::framePresented, this,
        [this, use] { QTimer::singleShot(0, this, [this, use] { use(grabWindowImage(*this)); }); },
        Qt::SingleShotConnection);
    VornCtl1->RequestRedraw();
}

void frmVimo::savePicture()
{
    whenPictureShown([this](const QImage& picture) {
        const QString path = savePath(QStringLiteral(".png"));
        QImageWriter writer(path, "png");
        if (writer.write(picture))
            writeErrorLine(QStringLiteral("saved the picture to %1").arg(path));
        else
            reportProblem(QStringLiteral("cannot save the picture to %1: %2 (choose a writable folder with --save-dir)")
                              .arg(path, writer.errorString())
                              .toStdString());
    });
}

void frmVimo::saveGrid()
{
    // The grid drawn: a frozen frame or a difference when that is what is shown.
    const ViewerState& shown = lookBackBar_->lookBack().shownState(state_);
    const std::string text = gridText(shown.heights, shown.drawMinX, shown.drawMaxX, shown.drawMinY, shown.drawMaxY);
    const QString path = savePath(QStringLiteral("-grid.txt"));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) == qint64(text.size())
        && file.commit()) {
        writeErrorLine(QStringLiteral("saved the grid to %1").arg(path));
        return;
    }
    reportProblem(QStringLiteral("cannot save the grid to %1: %2 (choose a writable folder with --save-dir)")
                      .arg(path, file.errorString())
                      .toStdString());
}

void frmVimo::copyPicture()
{
    whenPictureShown([](const QImage& picture) { QGuiApplication::clipboard()->setImage(picture); });
}

// An error inside the paint ends the frame before PresentFrame, so a broken
// frame is never shown; the viewport reports it and keeps running.
// The viewport paints on its own when it is resized, before the window's
// resize handler runs, so the set-up is brought up to date here first.
void frmVimo::onPaint()
{
    shownPicture_.reset();
    if (appliedSetup_ != currentSetup())
        sceneSetup();
    // A frozen frame or a difference is drawn from a copy of the state.
    paintScene(*VornCtl1, lookBackBar_->lookBack().shownState(state_));
    shownPicture_ = currentPicture();
}

// A re-take of the last frame leaves the grid as it was and asks for nothing;
// the viewport folds requests made before it paints into one paint.
void frmVimo::onPollTick()
{
    const std::uint64_t grid = state_.gridRevision;
    vorn::runHandler(QStringLiteral("serial poll"), [this] {
        serialPollTick(state_, *this);
        lookBackBar_->afterTick();
    });
    if (live_ && state_.gridRevision != grid)
        RequestRedraw();
}

void frmVimo::onAnimationTick()
{
    vorn::runHandler(QStringLiteral("animation"), [this] { animationTick(state_, *this); });
    showPendingStatus();
    lookBackBar_->refreshAge();
}

void frmVimo::onKey(QChar key)
{
    const std::string text = QString(key).toStdString();
    const QScopedValueRollback<bool> keyRedraw(inKey_, true);
    vorn::runHandler(QStringLiteral("key press"), [this, &text] { handleKey(state_, *this, text); });
}

// Key preview: every typed character reaches the key handler once, whichever
// control of this window has the focus. The event is consumed so it is not
// seen again as it propagates to the parents. The viewport's mouse events are
// taken here too: a synthesised wheel event would not reach the window.
bool frmVimo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == VornCtl1 && onViewportMouse(event))
        return true;
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* receiver = static_cast<QWidget*>(watched);
    if (receiver->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // A Ctrl chord types a control character; it is never a command.
    if (key->modifiers().testFlag(Qt::ControlModifier)) {
        onChord(*key);
        return true;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        onKey(c);
    return true;
}

void frmVimo::onChord(const QKeyEvent& key)
{
    if (lookBackBar_->handleChord(key))
        return;
    if (key.isAutoRepeat())
        return;
    const Qt::KeyboardModifiers chord
        = key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key.key() == Qt::Key_S && chord == Qt::ControlModifier)
        savePicture();
    else if (key.key() == Qt::Key_S && chord == (Qt::ControlModifier | Qt::ShiftModifier))
        saveGrid();
    else if (key.key() == Qt::Key_C && chord == Qt::ControlModifier)
        copyPicture();
}

void frmVimo::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The window's pixels are the viewport's framebuffer pixels (device pixels).
    const double ratio = devicePixelRatio();
    VornCtl1->setLeft(0);
    VornCtl1->setTop(0);
    VornCtl1->setWidth(width() * ratio);
    VornCtl1->setHeight(height() * ratio);
    keepProblemBoxAtTheBottom();
    // The projection follows the viewport's shape, and the resized picture
    // is drawn now rather than at the next change of the state.
    if (loaded_) {
        sceneSetup();
        RequestRedraw();
    }
}

bool frmVimo::onViewportMouse(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            startDrag(drag_, at.x(), at.y());
        else if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton))
            vorn::runHandler(QStringLiteral("mouse drag"),
                             [this, at] { dragTo(state_, *this, drag_, at.x(), at.y()); });
        else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
            endDrag(drag_);
        else if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton)
            viewMenu_->popup(mouse->globalPosition().toPoint());
        else
            return false;
        return true;
    }
    case QEvent::ContextMenu: {
        // The right button's press has already opened the menu; the menu key has not.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() != QContextMenuEvent::Mouse)
            viewMenu_->popup(request->globalPos());
        return true;
    }
    case QEvent::Wheel: {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        vorn::runHandler(QStringLiteral("mouse wheel"), [this, delta] { turnWheel(state_, *this, wheelRest_, delta); });
        return true;
    }
    default: return false;
    }
}

void frmVimo::closeEvent(QCloseEvent* event)
{
    ms_Comm.close();
    QWidget::closeEvent(event);
}

} // namespace meshscope
