#include "LookBackBar.h"

#include "StatisticsPanel.h"
#include "HandlerReport.h"
#include "SurfaceExport.h"
#include "ViewerSession.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QWidget>

namespace meshscope {

namespace {

constexpr int panelHeight = 30;
constexpr int labelWidth = 150;

} // namespace

LookBackBar::LookBackBar(QWidget& window, ViewerSession& session)
    : QObject(&window), window_(window), session_(session), live_(session.state()), lookBack_(session.lookBack())
{
    // A native window of its own over the viewport's GL window, as the text boxes are.
    panel_ = new QWidget(&window);
    panel_->setObjectName(QStringLiteral("historyPanel"));
    panel_->setAttribute(Qt::WA_NativeWindow);
    panel_->setAutoFillBackground(true);
    // The view's black ground, with the help box's grey for the text.
    QPalette colours = panel_->palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    panel_->setPalette(colours);
    auto* layout = new QHBoxLayout(panel_);
    layout->setContentsMargins(8, 2, 8, 2);
    slider_ = new QSlider(Qt::Horizontal, panel_);
    slider_->setObjectName(QStringLiteral("historySlider"));
    slider_->setFocusPolicy(Qt::NoFocus);
    label_ = new QLabel(panel_);
    label_->setFixedWidth(labelWidth);
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    frameLabel_ = new QLabel(panel_);
    frameLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(slider_);
    layout->addWidget(frameLabel_);
    layout->addWidget(label_);
    panel_->hide();
    // Frozen, the slider follows the history as it grows.
    connect(&session_, &ViewerSession::historyGrew, this, &LookBackBar::updateSlider);
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (updatingSlider_ || lookBack_.history().empty())
            return;
        lookBack_.showFrame(live_, lookBack_.history().oldest() + static_cast<std::uint64_t>(value));
        showChange();
    });
}

bool LookBackBar::handleChord(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers chord
        = key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (chord != Qt::ControlModifier)
        return false;
    switch (key.key()) {
    case Qt::Key_Space:
        if (!key.isAutoRepeat())
            toggleFreeze();
        return true;
    case Qt::Key_Left: step(-1); return true; // held down, it scrubs
    case Qt::Key_Right: step(1); return true;
    case Qt::Key_Home: toOldest(); return true;
    case Qt::Key_End: goLive(); return true;
    default: return false;
    }
}

void LookBackBar::place(int left, int bottom, int width)
{
    place_ = QRect(left, bottom - panelHeight, width, panelHeight);
    // A hidden native window is left alone: moving it could map it over the view.
    if (panel_->isVisible() && panel_->geometry() != place_)
        panel_->setGeometry(place_);
}

void LookBackBar::freeze()
{
    lookBack_.freeze(live_);
    showChange();
}

void LookBackBar::goLive()
{
    lookBack_.goLive();
    showChange();
}

void LookBackBar::toggleFreeze()
{
    if (lookBack_.frozen())
        goLive();
    else
        freeze();
}

void LookBackBar::step(int frames)
{
    lookBack_.step(live_, frames);
    showChange();
}

void LookBackBar::toOldest()
{
    lookBack_.toOldest(live_);
    showChange();
}

void LookBackBar::showChange()
{
    updateSlider();
    emit shownChanged();
}

void LookBackBar::updateSlider()
{
    const FrameHistory& history = lookBack_.history();
    if (!lookBack_.frozen()) {
        panel_->hide();
        return;
    }
    {
        updatingSlider_ = true;
        const int last = history.empty() ? 0 : static_cast<int>(history.size() - 1);
        slider_->setRange(0, last);
        const auto shown = lookBack_.shownFrame();
        slider_->setValue(shown ? static_cast<int>(*shown - history.oldest()) : last);
        slider_->setEnabled(!history.empty());
        updatingSlider_ = false;
    }
    refreshAge();
    if (!panel_->isVisible()) {
        panel_->setGeometry(place_);
        panel_->show();
        panel_->raise();
    }
}

void LookBackBar::refreshAge()
{
    if (!lookBack_.frozen())
        return;
    const auto shown = lookBack_.shownFrame();
    const FrameHistory& history = lookBack_.history();
    if (!shown || !history.holds(*shown)) {
        label_->setText(tr("held"));
        frameLabel_->clear();
        return;
    }
    const double since = static_cast<double>(history.at(*shown).arrivalMs - history.startMs()) / 1000.0;
    frameLabel_->setText(tr("frame %1 at %2 s").arg(*shown).arg(since, 0, 'f', 2));
    label_->setText(QString::fromStdString(agoText(session_.nowMs() - history.at(*shown).arrivalMs)));
}

void LookBackBar::setBaseline()
{
    lookBack_.setBaseline(live_);
    baselineSource_ = QString::fromStdString(session_.health().port);
    baselineTime_ = QTime::currentTime();
    showChange();
}

void LookBackBar::toggleDifference()
{
    lookBack_.setDifferenceShown(!lookBack_.differenceShown());
    showChange();
}

void LookBackBar::clearBaseline()
{
    lookBack_.clearBaseline();
    lookBack_.setDifferenceShown(false);
    showChange();
}

QString LookBackBar::differenceText() const
{
    QStringList parts;
    if (lookBack_.differenceShown())
        parts << tr("difference from the baseline of %1 taken at %2")
                     .arg(baselineSource_, baselineTime_.toString(QStringLiteral("HH:mm:ss")));
    if (lookBack_.levelling().active() && !lookBack_.levellingApplied())
        parts << tr("not levelled: the pinned cells lie off the drawn surface");
    else if (lookBack_.levelling().active())
        parts << tr("levelled: %1").arg(levellingText(lookBack_.levelling()));
    return parts.join(QStringLiteral("; "));
}

void LookBackBar::exportTo(const QString& path)
{
    const auto failure = exportSurface(lookBack_.shownSurface(live_), QFile::encodeName(path).toStdString());
    if (failure)
        session_.reportProblem(
            tr("cannot export the surface to %1: %2").arg(path, QString::fromStdString(*failure)).toStdString());
    else
        vorn::reportNotice(tr("exported the surface to %1").arg(path));
}

void LookBackBar::chooseExportFile()
{
    auto* dialog = new QFileDialog(&window_, tr("Export surface"), QDir::currentPath());
    dialog->setObjectName(QStringLiteral("exportDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setNameFilters(
        {tr("STL solid (*.stl)"), tr("PLY solid (*.ply)"), tr("CSV points (*.csv)"), tr("Gwyddion field (*.gsf)")});
    dialog->setDefaultSuffix(QStringLiteral("stl"));
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
        dialog->setDefaultSuffix(filter.section(QStringLiteral("(*."), 1).chopped(1));
    });
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) { exportTo(path); });
    dialog->open();
}

} // namespace meshscope
