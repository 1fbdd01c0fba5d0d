#pragma once

// Shared pieces of the fault tests: a Qt application on X, pseudo-terminals
// that play the device (optionally behind a stable symlink), standard error
// captured into a file, resident memory, and the loaded meshscope window.

#include "PtyDevice.h"
#include "Sanitizer.h"
#include "ScratchDir.h"
#include "StderrCapture.h"
#include "VornCtl.h"
#include "frmVimo.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace hardening {

using Device = PtyDevice;
using ::ScratchDir;
using ::StderrCapture;

// One QApplication for the whole test program, on xcb (GLUT needs X).
QApplication& app();

using ::kAddressSanitizer;

// A device path that stays the same while the device behind it comes and goes.
class StableLink {
public:
    StableLink();
    ~StableLink();
    const std::string& path() const { return path_; }
    void pointAt(const std::string& target);
    void remove();

private:
    QTemporaryDir dir_;
    std::string path_;
};

// Number of lines of text holding needle.
int linesWith(const std::string& text, const std::string& needle);

// Resident memory of a process in kB (0 when it is gone).
long residentKb(pid_t pid);

// A few grid samples, so the window starts on a surface.
std::string smallHillFile();

// Runs the event loop until condition holds or ms pass.
bool waitFor(const std::function<bool()>& condition, int ms = 5000);

// Builds, loads and shows a window of type W on port; false if not shown.
template <class W>
std::unique_ptr<W> openWindow(const std::string& port)
{
    app();
    auto window = std::make_unique<W>(2, QString::fromStdString(port));
    window->load();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        ADD_FAILURE() << "the meshscope window was never shown";
    return window;
}

// The status line the window shows, from the box it names txtStatus.
inline std::string statusOf(const QWidget& window)
{
    const auto* box = window.findChild<const QLineEdit*>(QStringLiteral("txtStatus"));
    return box ? box->text().toStdString() : std::string();
}

} // namespace hardening
