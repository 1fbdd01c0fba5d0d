// Starting a program where it cannot draw: the environments, and how it ended.
#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct StartOutcome {
    bool crashed = false; // ended by a signal (a segfault or an abort)
    int exitCode = -1;
    QString out, err;
};

// A program still running after ceilingMs is killed and counts as crashed.
inline StartOutcome startIn(const QString& program, const QStringList& args, const QProcessEnvironment& environment,
                            int ceilingMs = 30000)
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
    if (!p.waitForFinished(ceilingMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() != QProcess::NormalExit, p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// A display name no X server answers on this machine.
inline QString unusedDisplay()
{
    for (int n = 250;; ++n)
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
            && !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
}

// Each way of having no display the programs handle, by name.
inline std::vector<std::pair<QString, QProcessEnvironment>> noDisplayEnvironments()
{
    QProcessEnvironment here = QProcessEnvironment::systemEnvironment();
    // As in a desktop session; without it Qt adds a warning line of its own.
    if (here.value(QStringLiteral("XDG_RUNTIME_DIR")).isEmpty()) {
        const QString runtime = QStringLiteral("/tmp/runtime-%1").arg(::getuid());
        ::mkdir(QFile::encodeName(runtime).constData(), 0700);
        here.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
    auto without = [&](const std::function<void(QProcessEnvironment&)>& change) {
        QProcessEnvironment e = here;
        e.remove(QStringLiteral("QT_QPA_PLATFORM"));
        e.remove(QStringLiteral("WAYLAND_DISPLAY"));
        change(e);
        return e;
    };
    return {
        {"offscreen platform", without([](QProcessEnvironment& e) { e.insert("QT_QPA_PLATFORM", "offscreen"); })},
        {"DISPLAY unset", without([](QProcessEnvironment& e) { e.remove("DISPLAY"); })},
        {"unreachable DISPLAY", without([](QProcessEnvironment& e) { e.insert("DISPLAY", unusedDisplay()); })},
        {"Wayland without XWayland", without([](QProcessEnvironment& e) {
             e.remove("DISPLAY");
             e.insert("QT_QPA_PLATFORM", "wayland");
             e.insert("WAYLAND_DISPLAY", "wayland-absent");
         })},
    };
}

// X servers a program reaches but cannot draw OpenGL on: 8-bit colour, and
// only indirect GLX as over ssh -X. Each comes with the environment that
// reaches it and a word the program's advice must hold; a server ends with
// the last copy of its entry.
struct GlLessDisplay {
    QString name;
    QProcessEnvironment environment;
    QString advice;
    std::shared_ptr<QProcess> server;
};

// An Xvfb of the test's own, started with args; it ends with the last copy.
// display is its name (":N") once it accepts clients.
struct OwnXServer {
    std::shared_ptr<QProcess> process;
    QString display;
};

inline OwnXServer startXServer(const QStringList& args)
{
    std::shared_ptr<QProcess> server(new QProcess, [](QProcess* p) {
        p->terminate();
        p->waitForFinished(5000);
        delete p;
    });
    server->start(QStringLiteral("Xvfb"), QStringList{"-displayfd", "1", "-nolisten", "tcp"} + args);
    // The server writes its display number once it accepts clients.
    while (!server->canReadLine() && server->waitForReadyRead(10000)) {
    }
    return {server, QLatin1Char(':') + QString::fromLatin1(server->readLine()).trimmed()};
}

inline std::vector<GlLessDisplay> glLessDisplays()
{
    const auto start = [](const QStringList& args, const QString& name, const QString& advice) {
        const OwnXServer server = startXServer(args);
        QProcessEnvironment e = noDisplayEnvironments().front().second;
        e.remove(QStringLiteral("QT_QPA_PLATFORM"));
        e.insert(QStringLiteral("DISPLAY"), server.display);
        return GlLessDisplay{name, e, advice, server.process};
    };
    std::vector<GlLessDisplay> displays;
    displays.push_back(start({"-screen", "0", "1024x768x8"}, QStringLiteral("8-bit colour"), "24-bit"));
    displays.push_back(start({"+iglx", "-screen", "0", "1024x768x24"}, QStringLiteral("indirect GLX"), "VNC"));
    displays.back().environment.insert(QStringLiteral("LIBGL_ALWAYS_INDIRECT"), QStringLiteral("1"));
    return displays;
}
