#include "InputLine.h"

#include "LineOpening.h"
#include "MSComm.h"
#include "MqttComm.h"
#include "NetComm.h"
#include "HandlerReport.h"
#include "ReplayComm.h"

#include <QCoreApplication>
#include <QFile>

#include <cmath>
#include <exception>

namespace meshscope {

InputLine::InputLine(int commPort, const QString& name, QObject* parent) : QObject(parent)
{
    retry_.setInterval(retryIntervalMs);
    connect(&retry_, &QTimer::timeout, this, &InputLine::attempt);
    setPort(commPort, name);
}

InputLine::~InputLine() = default;

void InputLine::setPort(int commPort, const QString& name)
{
    adopt(makeLine(commPort, name));
}

void InputLine::playCapture(const QString& path, double framesPerSecond)
{
    adopt(makeReplay(path, framesPerSecond));
    const auto* replay = qobject_cast<ReplayComm*>(control_.get());
    connect(replay, &ReplayComm::finished, this, [this, replay, path, framesPerSecond] {
        const qint64 frames = replay->framesPlayed();
        const auto seconds = static_cast<qint64>(std::llround(double(frames) / framesPerSecond));
        const QString text = frames == 0
            ? QStringLiteral("the capture %1 holds no frame (nothing from \"<\" to \">\")").arg(path)
            : QStringLiteral("the capture ended after %1 %2 (%3:%4)")
                  .arg(frames)
                  .arg(frames == 1 ? QStringLiteral("frame") : QStringLiteral("frames"))
                  .arg(seconds / 60)
                  .arg(seconds % 60, 2, 10, QLatin1Char('0'));
        vorn::reportNotice(text);
        emit captureEnded(text);
    });
}

bool InputLine::ended() const
{
    return control_->ended();
}

void InputLine::adopt(std::unique_ptr<LineControl> control)
{
    control_ = std::move(control);
    connect(control_.get(), &LineControl::opened, this, &InputLine::onOpened);
    connect(control_.get(), &LineControl::openFailed, this, &InputLine::onOpenFailed);
    // Queued, so the loss is handled after whatever poll is running now.
    connect(control_.get(), &LineControl::portFailed, this, &InputLine::onPortFailed, Qt::QueuedConnection);
    connect(control_.get(), &LineControl::notice, this, &InputLine::onNotice);
    connect(control_.get(), &LineControl::discarded, this, [this](const QByteArray& characters) {
        record({characters.constData(), size_t(characters.size())});
    });
}

void InputLine::setBaudRate(std::int32_t rate)
{
    if (auto* serial = qobject_cast<MSComm*>(control_.get()))
        serial->setBaudRate(rate);
}

std::int32_t InputLine::baudRate() const
{
    const auto* serial = qobject_cast<const MSComm*>(control_.get());
    return serial ? serial->baudRate() : 0;
}

QString InputLine::name() const
{
    return control_->devicePath();
}

void InputLine::setCaFile(const QString& path)
{
    if (auto* mqtt = qobject_cast<MqttComm*>(control_.get()))
        mqtt->setCaFile(path);
}

bool InputLine::isNetwork() const
{
    return qobject_cast<NetComm*>(control_.get()) != nullptr || qobject_cast<MqttComm*>(control_.get()) != nullptr;
}

bool InputLine::isReplay() const
{
    return qobject_cast<ReplayComm*>(control_.get()) != nullptr;
}

void InputLine::recordTo(const QString& path)
{
    if (const auto problem = record_.open(QFile::encodeName(path).toStdString()))
        say(QString::fromStdString(*problem));
}

QString InputLine::advice(const QString& message) const
{
    // A broker's refusal says itself what to change.
    if (qobject_cast<MqttComm*>(control_.get()))
        return message.endsWith(QLatin1Char(')'))
            ? QString()
            : QStringLiteral(" (start the broker, or use --port to choose another source)");
    return isNetwork() ? QStringLiteral(" (start the device or its server, or use --port to choose another source)")
                       : QStringLiteral(" (use --port to choose a device)");
}

void InputLine::open()
{
    failureSaid_ = false;
    openedWord_ = QStringLiteral("opened");
    try {
        control_->setPortOpen(true);
    } catch (const LineSpeedError& error) {
        // A rate the port refuses does not get better by retrying.
        say(QString::fromStdString(error.what()) + QStringLiteral(" (choose another rate with --baud)"), true);
        return;
    } catch (const std::exception& error) {
        onOpenFailed(QString::fromStdString(error.what()));
        return;
    }
    // A connection under way ends in onOpened or onOpenFailed; the timer
    // only waits for it.
    if (!control_->PortOpen())
        retry_.start();
}

void InputLine::attempt()
{
    if (control_->PortOpen()) {
        retry_.stop();
        return;
    }
    if (control_->opening())
        return;
    try {
        control_->setPortOpen(true);
    } catch (const LineSpeedError& error) {
        say(QString::fromStdString(error.what()) + QStringLiteral(" (choose another rate with --baud)"), true);
        retry_.stop();
        return;
    } catch (const std::exception&) {
        return; // still missing or busy; try again at the next tick
    }
    if (control_->PortOpen())
        onOpened();
}

void InputLine::onOpened()
{
    retry_.stop();
    if (retrying_)
        vorn::reportNotice(openedWord_ + QLatin1Char(' ') + name());
    retrying_ = false;
    failureSaid_ = false;
    emit resolved();
}

void InputLine::onOpenFailed(const QString& message)
{
    if (!failureSaid_)
        say(message + advice(message), true);
    failureSaid_ = true;
    retrying_ = true;
    if (!retry_.isActive())
        retry_.start();
}

void InputLine::onPortFailed(const QString& message)
{
    // Characters that arrived before the loss still belong to the stream.
    say(message + QStringLiteral("; the viewer runs on and reopens the port when the device returns"), true);
    emit lost();
    openedWord_ = QStringLiteral("reopened");
    failureSaid_ = true; // the loss was said; failed retries stay quiet
    retrying_ = true;
    retry_.start();
}

void InputLine::onNotice(const QString& message)
{
    if (message == lastNotice_)
        return;
    lastNotice_ = message;
    say(message);
}

void InputLine::close()
{
    retry_.stop();
    retrying_ = false;
    if (record_.active())
        Input(); // what arrived since the last poll belongs in the recording too
    if (control_->PortOpen() || control_->opening())
        control_->setPortOpen(false);
}

bool InputLine::PortOpen() const
{
    return control_->PortOpen();
}

std::int16_t InputLine::InBufferCount()
{
    return control_->InBufferCount();
}

std::string InputLine::Input()
{
    std::string text = control_->Input();
    record(text);
    return text;
}

void InputLine::setPaused(bool paused)
{
    control_->setPaused(paused);
}

void InputLine::record(std::string_view bytes)
{
    if (!record_.active() || bytes.empty())
        return;
    if (const auto problem = record_.append(bytes))
        say(QString::fromStdString(*problem));
}

void InputLine::writeLine(const QString& text)
{
    vorn::reportError(text);
}

void InputLine::say(const QString& text, bool standing)
{
    writeLine(text);
    emit problem(text, standing);
}

} // namespace meshscope
