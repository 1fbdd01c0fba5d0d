// A Wayland desktop of the test's own: weston on its headless back end with
// XWayland, as GNOME and KDE sessions run X11 programs, and the compositor's
// own screenshot of what it shows.
#pragma once

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <memory>

class WestonDesktop {
public:
    WestonDesktop()
    {
        // weston asks for a private runtime directory; QTemporaryDir makes it 0700.
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        environment_.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wl-test"));
        environment_.remove(QStringLiteral("QT_QPA_PLATFORM"));
        weston_->setProcessEnvironment(environment_);
        weston_->setProcessChannelMode(QProcess::MergedChannels);
        // Pixman draws the output, so the screenshot has pixels to give.
        weston_->start(QStringLiteral("weston"),
                       {"--backend=headless-backend.so", "--use-pixman", "--xwayland", "--debug", "--no-config",
                        "--socket=wl-test", "--width=1280", "--height=1024", "--idle-time=0"});
        if (!weston_->waitForStarted(10000)) {
            problem_ = QStringLiteral("weston cannot start (install weston and xwayland)");
            return;
        }
        static const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
        QString log;
        const bool up = QTest::qWaitFor(
            [&] {
                weston_->waitForReadyRead(100);
                log += QString::fromLocal8Bit(weston_->readAll());
                return listening.match(log).hasMatch() || weston_->state() == QProcess::NotRunning;
            },
            30000);
        const auto found = listening.match(log);
        if (!up || !found.hasMatch()) {
            problem_ = QStringLiteral("weston did not start XWayland: ") + log.right(300);
            return;
        }
        environment_.insert(QStringLiteral("DISPLAY"), found.captured(1));
    }
    ~WestonDesktop()
    {
        weston_->terminate();
        weston_->waitForFinished(10000);
    }
    WestonDesktop(const WestonDesktop&) = delete;
    WestonDesktop& operator=(const WestonDesktop&) = delete;

    // Empty once the desktop runs, else why it does not.
    QString problem() const { return problem_; }
    // What a program on the desktop is started with: DISPLAY is XWayland's.
    QProcessEnvironment environment() const { return environment_; }
    QByteArray display() const { return environment_.value(QStringLiteral("DISPLAY")).toLocal8Bit(); }

    // The whole output as weston shows it; null when the screenshot fails.
    QImage screenshot() const
    {
        QTemporaryDir into;
        QProcess shooter;
        shooter.setProcessEnvironment(environment_);
        shooter.setWorkingDirectory(into.path());
        shooter.start(QStringLiteral("weston-screenshooter"), {});
        if (!shooter.waitForFinished(30000) || shooter.exitCode() != 0)
            return {};
        const QStringList written = QDir(into.path()).entryList({QStringLiteral("*.png")});
        return written.isEmpty() ? QImage()
                                 : QImage(into.filePath(written.front())).convertToFormat(QImage::Format_RGB32);
    }

private:
    QTemporaryDir runtime_;
    QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QProcess> weston_ = std::make_unique<QProcess>();
    QString problem_;
};
