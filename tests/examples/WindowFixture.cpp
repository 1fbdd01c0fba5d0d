#include "WindowFixture.h"

#include "TestApplication.h"
#include "WindowImage.h"

#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <vector>

QApplication& testApplication()
{
    return testApplication("Vorn");
}

bool waitForFrames(Form1& form, const std::function<void()>& trigger)
{
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (VornCtl* viewport : {form.VornCtl1, form.VornCtl2, form.VornCtl3, form.VornCtl4})
        spies.push_back(std::make_unique<QSignalSpy>(viewport, &VornCtl::framePresented));
    trigger();
    for (auto& spy : spies)
        if (spy->isEmpty() && !spy->wait(10000))
            return false;
    // Give the window system the composed frame before anyone reads the screen.
    QTest::qWait(50);
    return true;
}

std::unique_ptr<Form1> showForm()
{
    testApplication();
    auto form = std::make_unique<Form1>();
    Form1& f = *form;
    if (!waitForFrames(f, [&f] { f.show(); }))
        return nullptr;
    return form;
}

QImage grabScreen(Form1& form)
{
    return grabWindowImage(form).convertToFormat(QImage::Format_RGB32);
}

QImage part(const QImage& window, const QWidget& child)
{
    return window.copy(onPicture(window, child.geometry()));
}

QRect onPicture(const QImage& window, QRect logical)
{
    const double ratio = window.devicePixelRatio();
    return QRect(
        QPoint(std::lround(logical.left() * ratio), std::lround(logical.top() * ratio)),
        QPoint(std::lround((logical.right() + 1) * ratio) - 1, std::lround((logical.bottom() + 1) * ratio) - 1));
}
