// The real meshscope window under X: fed through a pseudo-terminal, driven by
// typed keys, and checked on its status line, its state and its picture.

#include "test_window_support.h"

#include "VornCtl.h"
#include "ColorScale.h"
#include "MeasureView.h"
#include "Pick.h"
#include "StatusText.h"
#include "frmVimo.h"
#include "StatisticsPanel.h"
#include "TrendChart.h"
#include "UnitsDialog.h"
#include "Units.h"
#include "GridText.h"
#include "LookBackBar.h"
#include "SerialInput.h"
#include "Sanitizer.h"
#include "StderrCapture.h"
#include "Screenshot.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QMatrix4x4>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSlider>
#include <QScreen>
#include <QScrollBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QSignalSpy>
#include <QWheelEvent>

#include <xcb/xcb.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>
#include <memory>
#include <sstream>
#include <tuple>

using meshscope::frmVimo;
using windowtest::FakeDevice;
using windowtest::ScratchDir;

namespace {

const std::string referenceFrame(meshscope::kReferenceFrame);

// The window's status, help and problem boxes, by the names it gives them.
QLineEdit* statusBoxOf(const QWidget& window)
{
    return window.findChild<QLineEdit*>(QStringLiteral("txtStatus"));
}
QPlainTextEdit* helpBoxOf(const QWidget& window)
{
    return window.findChild<QPlainTextEdit*>(QStringLiteral("txtCommands"));
}
QPlainTextEdit* problemBoxOf(const QWidget& window)
{
    return window.findChild<QPlainTextEdit*>(QStringLiteral("txtOut"));
}

// A round hill rising from 15 to 55 over columns and rows 0..40.
std::string hillFile()
{
    std::ostringstream out;
    for (int x = 0; x <= 40; ++x)
        for (int y = 0; y <= 40; ++y) {
            const double d2 = (x - 20) * (x - 20) + (y - 20) * (y - 20);
            out << x << ' ' << y << ' ' << 15 + 40.0 / (1 + d2 / 60) << '\n';
        }
    return out.str();
}

class WindowTest : public ::testing::Test {
protected:
    void start(const std::string& dataFile, const QString& port)
    {
        windowtest::app();
        scratch = std::make_unique<ScratchDir>(dataFile);
        window = std::make_unique<frmVimo>(2, port);
        if (!recordFile.isEmpty())
            window->recordTo(recordFile);
        window->load();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(nextFrame());
    }
    void startWithDevice(const std::string& dataFile = hillFile())
    {
        start(dataFile, QString::fromStdString(device.path()));
    }

    bool nextFrame()
    {
        QSignalSpy presented(window->viewport(), &VornCtl::framePresented);
        window->viewport()->RequestRedraw();
        return presented.wait(5000);
    }
    QImage picture()
    {
        EXPECT_TRUE(nextFrame());
        return window->grab().toImage();
    }
    void type(char key, QWidget* target = nullptr) { QTest::keyClick(target ? target : window->viewport(), key); }
    bool waitFor(const std::function<bool()>& condition, int ms = 5000) { return QTest::qWaitFor(condition, ms); }
    std::string status() const { return statusBoxOf(*window)->text().toStdString(); }
    std::string health() const { return window->measure().healthBox()->text().toStdString(); }
    // Pauses the line and waits until the health line, updated at the animation tick, says so.
    void pause()
    {
        type(' ');
        ASSERT_TRUE(waitFor([&] { return health().find("paused") != std::string::npos; })) << health();
    }
    meshscope::ViewerState& state() { return window->session().state(); }

    FakeDevice device;
    QString recordFile;
    std::unique_ptr<ScratchDir> scratch;
    std::unique_ptr<frmVimo> window;
};

// What the X server shows of the window, in its logical pixels.
QImage screenOf(QWidget& window)
{
    QCoreApplication::processEvents();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32)
        .scaled(window.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// What the X server holds of the window, in device pixels, as a saved picture has it.
QImage serverPixels(QWidget& window)
{
    QCoreApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The pointer moved over the view to a position in its own (logical) pixels.
void hover(QWidget* view, QPointF at, QEvent::Type type = QEvent::MouseMove, Qt::MouseButton button = Qt::NoButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, at, view->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &event);
}

// The X server's pointer moved (or its first button clicked) as a mouse does,
// over a point of the view in its own (logical) pixels.
void xPointer(QWidget* view, QPointF at, bool click = false)
{
    const QPointF root = view->mapToGlobal(at) * view->devicePixelRatioF();
    QStringList arguments{QStringLiteral("mousemove"), QString::number(std::lround(root.x())),
                          QString::number(std::lround(root.y()))};
    if (click)
        arguments << QStringLiteral("click") << QStringLiteral("1");
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}

// Where a grid point lands on the window, worked out independently of the
// scene code from the default view (perspective, zoom 1.5, angles 35/0/25).
QPointF projectedPoint(QVector3D point, QSize size, int drawMin, int drawMax)
{
    const double w = size.width();
    const double h = size.height();
    const double viewLeft = (drawMin - drawMax) / 1.5 * 0.5;
    // The longer side of the window gets the wider bounds.
    const double sx = h >= w ? 1 : w / h;
    const double sy = h >= w ? h / w : 1;
    QMatrix4x4 projection;
    projection.frustum(float(viewLeft * sx), float(-viewLeft * sx), float(viewLeft * sy), float(-viewLeft * sy), 100,
                       400);
    projection.translate(0, 0, -250);
    QMatrix4x4 view;
    view.rotate(-90, 1, 0, 0);
    view.rotate(35, 1, 0, 0);
    view.rotate(25, 0, 0, 1);
    view.translate(float(drawMin - drawMax) / 2, float(drawMin - drawMax) / 2, -50);
    const QVector3D ndc = (projection * view).map(point);
    return {(ndc.x() + 1) / 2 * w, (1 - ndc.y()) / 2 * h};
}

} // namespace

TEST_F(WindowTest, OpensWithDesignLayoutAndFirstStatus)
{
    startWithDevice();

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Interpolation Visualization"));
    EXPECT_EQ(status(), "x= 35 y= 0 z= 25 zoom= 1.5 [Interp. Count= 0; OK= 0]");
    EXPECT_EQ(helpBoxOf(*window)->toPlainText(),
              (QStringList{"x, y, z - rotate axes", "space -play/stop", "s / S - surface bright", "b - border on/off",
                           "c - toggle color mode", "f - get data from file", "1 a 9 - smooth level", "+ / -  zooom",
                           "0 - default zoom ", "p - orthogonal / perspective", "r - reset counters", ""})
                  .join(QLatin1Char('\n')));
    EXPECT_EQ(window->viewport()->geometry(), window->rect());
    // At ratio 2 the design is larger than the test's screen and the window
    // opens reduced to fit it; the status box keeps its place at x 600.
    EXPECT_EQ(window->childAt(610, 10), statusBoxOf(*window));
    EXPECT_EQ(window->childAt(20, 20), helpBoxOf(*window)->viewport());

    window->resize(800, 500);
    ASSERT_TRUE(waitFor([&] { return window->viewport()->geometry() == QRect(0, 0, 800, 500); }));
    EXPECT_EQ(window->viewport()->geometry(), window->rect());
    // Narrower than the design, the status keeps its place at x 600 and is
    // cut off at the right; the help keeps its corner.
    const auto inBox = [&](const QWidget* box, int x, int y) {
        const QWidget* under = window->childAt(x, y);
        return under && (under == box || box->isAncestorOf(under));
    };
    EXPECT_FALSE(inBox(statusBoxOf(*window), 599, 10));
    EXPECT_TRUE(inBox(statusBoxOf(*window), 600, 10));
    EXPECT_TRUE(inBox(statusBoxOf(*window), 799, 10));
    EXPECT_TRUE(inBox(helpBoxOf(*window), 152, 168));
    EXPECT_FALSE(inBox(helpBoxOf(*window), 153, 100));
    EXPECT_FALSE(inBox(helpBoxOf(*window), 60, 169));
}

// The boxes show their whole text from its start: measured in the fonts they
// use, and checked on the grab by the last character and the first ones.
TEST_F(WindowTest, StatusAndHelpShowTheirWholeTextFromTheStart)
{
    startWithDevice();
    QLineEdit* box = statusBoxOf(*window);
    const auto showStatus = [&](float angle, double zoom, std::int32_t count) {
        state().rotation = {angle, angle, angle, 0};
        state().zoom = zoom;
        state().interpCount = state().okCount = count;
        const std::string expected = meshscope::statusText(state());
        return waitFor([&] { return status() == expected; });
    };
    // The widest line in normal use: angles at -9999, a 15-digit zoom that
    // needs an exponent, seven-digit counters.
    ASSERT_TRUE(showStatus(-9999, 4.07958245840465e-11, 9999999));
    ASSERT_EQ(status(), "x=-9999 y=-9999 z=-9999 zoom= 4.07958245840465E-11 [Interp. Count= 9999999; OK= 9999999]");
    EXPECT_LT(QFontMetricsF(box->font(), box).horizontalAdvance(box->text()), box->width() - 8);
    const QImage whole = box->grab().toImage();
    box->setText(box->text().chopped(1)); // redrawn by the next tick
    EXPECT_NE(box->grab().toImage(), whole) << "the closing bracket is not visible";

    // Longer than the box: the start, the angles, stays in view.
    ASSERT_TRUE(showStatus(-1234567, 4.07958245840465e-11, INT32_MAX));
    EXPECT_GT(QFontMetricsF(box->font(), box).horizontalAdvance(box->text()), box->width());
    const QImage overlong = box->grab().toImage();
    box->setText(box->text().left(12)); // "x=-1234567 y"
    const QImage start = box->grab().toImage();
    const int startWidth = int(QFontMetricsF(box->font(), box).horizontalAdvance(box->text()));
    EXPECT_EQ(overlong.copy(0, 0, startWidth, overlong.height()), start.copy(0, 0, startWidth, start.height()));

    QPlainTextEdit* help = helpBoxOf(*window);
    const QFontMetricsF metrics(help->font(), help->viewport());
    const double margin = 2 * help->document()->documentMargin();
    const QStringList lines = help->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 11);
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), help->viewport()->width() - margin) << line.toStdString();
    EXPECT_LE(lines.size() * metrics.lineSpacing(), help->viewport()->height() - margin);
    const QString text = help->toPlainText();
    const QImage helpShown = help->grab().toImage();
    help->setPlainText(QString(text).replace(QStringLiteral("perspective"), QStringLiteral("perspectiv")));
    EXPECT_NE(help->grab().toImage(), helpShown) << "the last letter of the longest line is cut";
    help->setPlainText(text);

    // On the screen too, the boxes' text stands over the view's own window.
    ASSERT_TRUE(nextFrame());
    (void)windowtest::settled([&] { return screenOf(*window); });
    const auto brightPixels = [](const QImage& image) {
        int count = 0;
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x)
                count += qGray(rgb.pixel(x, y)) > 128 ? 1 : 0;
        return count;
    };
    for (QWidget* shown : {static_cast<QWidget*>(box), static_cast<QWidget*>(help)}) {
        const QRect area(shown->mapTo(window.get(), QPoint(0, 0)), shown->size());
        const int onScreen
            = brightPixels(window->screen()
                               ->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height())
                               .toImage()
                               .scaled(shown->size()));
        const int inBox = brightPixels(shown->grab().toImage().scaled(shown->size()));
        EXPECT_GT(inBox, 100);
        EXPECT_GT(onScreen, inBox / 2) << "the box is hidden on screen";
    }

    // The lines beside the help, at the design size and down to 320 x 240:
    // inside the window, clear of the help box and of each other, each text
    // whole (wrapped) or shortened with its whole text in its tooltip; and
    // on the screen, over the view. The status line keeps its place.
    device.send("<1,1,5;2,2,40000>"); // a refusal lengthens the health line
    ASSERT_TRUE(waitFor([&] { return health().find("1 refused (last: ") != std::string::npos; })) << health();
    for (QAction* action : window->viewMenu()->actions())
        if (action->text().startsWith(QStringLiteral("Set baseline"))
            || action->text().startsWith(QStringLiteral("Show difference")))
            action->trigger();
    meshscope::MeasureView& measure = window->measure();
    const QRect statusPlace = box->geometry();
    for (const QSize size : {QSize(frmVimo::designWidth, frmVimo::designHeight), QSize(400, 300), QSize(320, 240)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        ASSERT_TRUE(waitFor([&] { return window->size() == size; }));
        hover(window->viewport(), QPointF(size.width() / 2.0, size.height() / 2.0));
        measure.say(QStringLiteral("Saved the picture to /home/someone/measurements/2026/december/meshscope-"
                                   "20261209-181500.png"));
        ASSERT_TRUE(nextFrame());
        EXPECT_EQ(box->geometry(), statusPlace);
        const QRect windowArea(QPoint(0, 0), size);
        const QImage shown = windowtest::settled([&] { return screenOf(*window); });
        std::vector<QRect> taken{help->geometry()};
        int lines = 0;
        for (QLabel* line : {measure.healthBox(), measure.readoutBox(), measure.differenceBox(), measure.noteBox()}) {
            const QString text = meshscope::MeasureView::lineText(line);
            if (!line->isVisible() || text.isEmpty())
                continue;
            SCOPED_TRACE(text.toStdString());
            ++lines;
            const QRect area(line->mapTo(window.get(), QPoint(0, 0)), line->size());
            EXPECT_TRUE(windowArea.contains(area))
                << area.x() << "," << area.y() << " " << area.width() << "x" << area.height();
            for (const QRect& other : taken)
                EXPECT_FALSE(area.intersects(other));
            taken.push_back(area);
            const QRect room = line->contentsRect();
            const QRect needed = line->fontMetrics().boundingRect(room, Qt::TextWordWrap, line->text());
            EXPECT_LE(needed.width(), room.width());
            EXPECT_LE(needed.height(), room.height());
            if (line->text() != text) {
                EXPECT_EQ(line->toolTip(), text) << line->text().toStdString();
            }
            const QColor ground = line->palette().color(QPalette::Window);
            int groundShown = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    groundShown += shown.pixelColor(x, y) == ground;
            EXPECT_GT(groundShown, area.width() * area.height() / 2) << "the line is hidden on screen";
        }
        EXPECT_GE(lines, 3);
    }
}

// What the last paint drew into the viewport, read back without painting
// again (a grab repaints first, so it cannot tell whether the window did).
QImage drawnPicture(VornCtl& viewport)
{
    QImage image(viewport.width(), viewport.height(), QImage::Format_RGBA8888);
    viewport.glReadPixels(0, 0, image.width(), image.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    return image.mirrored();
}

TEST_F(WindowTest, ResizedWindowPaintsTheSurfaceFramedForItsNewSize)
{
    startWithDevice(); // the hill: drawn range 0..38, peak near (20, 20) at 55
    const QString grabs = qEnvironmentVariable("MESHSCOPE_TEST_GRABS");
    for (const QSize size : {QSize(800, 600), QSize(1250, 950), QSize(520, 700)}) {
        QSignalSpy presented(window->viewport(), &VornCtl::framePresented);
        window->resize(size);
        ASSERT_TRUE(waitFor([&] { return window->viewport()->size() == size; }));
        // The window paints the new size by itself; nothing else asks it to.
        ASSERT_TRUE(waitFor([&] { return presented.count() > 0; }, 2000)) << size.width();

        GLint box[4] = {};
        window->viewport()->glGetIntegerv(GL_VIEWPORT, box);
        EXPECT_EQ(QRect(box[0], box[1], box[2], box[3]), QRect(QPoint(0, 0), size));
        GLdouble m[16] = {};
        window->viewport()->glGetDoublev(GL_PROJECTION_MATRIX, m);
        EXPECT_NEAR(m[0] / m[5], double(size.height()) / size.width(), 1e-6) << size.width();

        const QImage drawn = drawnPicture(*window->viewport());
        const QPointF peak = projectedPoint({19.5f, 19.5f, 54}, size, 0, 38);
        const QPointF rim = projectedPoint({4, 30, 20}, size, 0, 38);
        EXPECT_LT(std::abs(peak.x() - size.width() / 2.0), size.width() * 0.05); // the view's centre
        for (const QImage& image : {drawn, window->grab().toImage()}) {
            const QColor atPeak = windowtest::meanColour(image, int(peak.x()), int(peak.y()));
            const QColor atRim = windowtest::meanColour(image, int(rim.x()), int(rim.y()));
            // Colour mode 1 runs from azure at 0 to orange at 50 and beyond.
            EXPECT_GT(atPeak.red(), atPeak.blue() + 40) << size.width() << " " << atPeak.name().toStdString();
            EXPECT_GT(atRim.blue(), atPeak.blue() + 40) << size.width() << " " << atRim.name().toStdString();
        }
        if (!grabs.isEmpty())
            window->grab().save(QStringLiteral("%1/resized-%2x%3.png").arg(grabs).arg(size.width()).arg(size.height()));
    }
}

// Resizes a top-level window as a window manager or xdotool does: a configure
// request to the X server from another client.
void resizeFromOutside(QWidget& window, QSize size)
{
    const double ratio = window.devicePixelRatio();
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    const std::uint32_t values[] = {std::uint32_t(size.width() * ratio), std::uint32_t(size.height() * ratio)};
    const xcb_void_cookie_t sent = xcb_configure_window_checked(
        other, std::uint32_t(window.winId()), XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    free(xcb_request_check(other, sent)); // the server has carried it out
    xcb_disconnect(other);
}

int brightPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) > 128 ? 1 : 0;
    return count;
}

TEST_F(WindowTest, ScreenShowsTheLiveSurfaceThroughKeysResizesAndExposures)
{
    startWithDevice(); // the hill: drawn range 0..38, peak near (20, 20) at 55
    window->move(0, 0);
    const QSize room = window->screen()->availableGeometry().size();
    // The hill framed for the window's size, with help and status readable over it.
    const auto boxesShown = [&](const QImage& shown, const std::string& when, bool report) {
        bool all = true;
        for (QWidget* box : {static_cast<QWidget*>(statusBoxOf(*window)), static_cast<QWidget*>(helpBoxOf(*window))})
            if (window->rect().contains(box->geometry())) { // the status keeps its place at x 600
                const bool bright = brightPixels(shown.copy(box->geometry())) > 100;
                if (report) {
                    EXPECT_TRUE(bright) << when << ": a box is hidden";
                }
                all = all && bright;
            }
        return all;
    };
    const auto expectSurface = [&](const std::string& when) {
        QImage shown;
        QColor atPeak, atRim;
        // The paint the change asked for, and the boxes' own repaint after it,
        // however long a loaded machine takes.
        (void)waitFor(
            [&] {
                shown = screenOf(*window);
                const QSize size = window->size();
                const QPointF peak = projectedPoint({19.5f, 19.5f, 54}, size, 0, 38);
                const QPointF rim = projectedPoint({4, 30, 20}, size, 0, 38);
                atPeak = windowtest::meanColour(shown, int(peak.x()), int(peak.y()));
                atRim = windowtest::meanColour(shown, int(rim.x()), int(rim.y()));
                return atPeak.red() > atPeak.blue() + 40 && atRim.blue() > atPeak.blue() + 40
                    && boxesShown(shown, when, false);
            },
            10000);
        if (!qEnvironmentVariableIsEmpty("MESHSCOPE_TEST_GRABS"))
            shown.save(qEnvironmentVariable("MESHSCOPE_TEST_GRABS") + "/" + QString::fromStdString(when) + ".png");
        EXPECT_GT(atPeak.red(), atPeak.blue() + 40) << when << " " << atPeak.name().toStdString();
        EXPECT_GT(atRim.blue(), atPeak.blue() + 40) << when << " " << atRim.name().toStdString();
        boxesShown(shown, when, true);
    };
    const auto resizedTo = [&](QSize size) {
        return waitFor([&] { return window->size() == size && window->viewport()->size() == size; });
    };
    if (window->screen()->geometry().contains(window->frameGeometry()))
        expectSurface("at start");

    for (const QSize size : {room * 0.55, room * 0.9, room * 0.7}) {
        window->resize(size);
        ASSERT_TRUE(resizedTo(size));
        expectSurface("resized to " + std::to_string(size.width()));
    }
    for (const QSize size : {room * 0.6, room * 0.95, room * 0.75}) {
        resizeFromOutside(*window, size);
        ASSERT_TRUE(resizedTo(size)) << size.width() << " " << window->width() << "x" << window->height() << " view "
                                     << window->viewport()->width();
        expectSurface("resized from outside to " + std::to_string(size.width()));
    }

    window->hide();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    expectSurface("shown again");

    QWidget cover;
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(Qt::magenta));
    cover.setGeometry(window->geometry());
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    cover.hide();
    expectSurface("uncovered");

    // A key with the line paused changes the picture on screen.
    type(' ');
    ASSERT_TRUE(nextFrame());
    const QRect view = window->viewport()->geometry();
    const QImage before = windowtest::settled([&] { return screenOf(*window); }).copy(view);
    type('c');
    const auto changedFrom = [&](const QImage& earlier) {
        return waitFor([&] { return windowtest::changedShare(earlier, screenOf(*window).copy(view)) > 0.05; }, 10000);
    };
    EXPECT_TRUE(changedFrom(before)) << "after c";

    // Frames arriving change it too.
    type(' ');
    device.send("<20,20,90; 80,80,10>");
    ASSERT_TRUE(waitFor([&] { return state().ptZ[0] == 90; }));
    ASSERT_TRUE(nextFrame());
    const QImage first = windowtest::settled([&] { return screenOf(*window); }).copy(view);
    device.send("<20,20,10; 80,80,90>");
    EXPECT_TRUE(changedFrom(first)) << "after a new frame";
}

TEST_F(WindowTest, ScreenshotIsWhatTheScreenShows)
{
    startWithDevice();
    pause();   // a still picture
    type('c'); // and no longer the first frame's
    ASSERT_TRUE(nextFrame());
    (void)windowtest::settled([&] { return screenOf(*window); });
    const QString path = QDir(scratch->path()).filePath(QStringLiteral("shot.png"));
    meshscope::takeScreenshotWhenShown(*window, path, 0);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(path); }));
    QCoreApplication::processEvents();
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage written = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(written.size(), shown.size());
    EXPECT_LT(windowtest::changedShare(written, shown), 0.001);
}

std::string fileContent(const QString& path);

// Ctrl+S, Ctrl+Shift+S and Ctrl+C, and the same from the view's menu: the
// picture the screen shows, the grid meshgrid makes of the same stream, and
// none of them touches what the command keys keep.
TEST_F(WindowTest, SavedAndCopiedPicturesAndGridAreWhatIsShownAndKeysKeepTheirState)
{
    startWithDevice(std::string());
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 1; }));
    pause(); // still counters and a still picture
    type('c');
    ASSERT_TRUE(nextFrame());
    (void)windowtest::settled([&] { return screenOf(*window); });
    const auto kept = [&] {
        return std::make_tuple(state().rotation[0], state().rotation[1], state().rotation[2], state().zoom,
                               state().shininess, state().colorMode, state().interpCount, state().okCount,
                               window->session().pollTimer().isActive());
    };
    const auto before = kept();
    const QDir dir(scratch->path());
    const auto saved = [&](const QString& pattern) { return dir.entryList({pattern}, QDir::Files, QDir::Name); };
    // The note says what the last save did, so it changes as each save ends;
    // it is left out where a saved picture is compared with the screen.
    const auto withoutNote = [&](QImage image) {
        const QRect note = window->measure().noteBox()->geometry();
        const double ratio = window->devicePixelRatio();
        QPainter(&image).fillRect(QRectF(QPointF(note.topLeft()) * ratio, QSizeF(note.size()) * ratio), Qt::black);
        return image;
    };
    const auto expectShown = [&](const QImage& image, const char* what) {
        const QImage shown = serverPixels(*window);
        ASSERT_EQ(image.size(), shown.size()) << what;
        EXPECT_LT(
            windowtest::changedShare(withoutNote(image.convertToFormat(QImage::Format_RGB32)), withoutNote(shown)),
            0.001)
            << what;
    };

    StderrCapture errors;
    QTest::keyClick(window->viewport(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return saved(QStringLiteral("*.png")).size() == 1; }));
    const QString picture = saved(QStringLiteral("*.png")).first();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^meshscope-\\d{8}-\\d{6}\\.png$")).match(picture).hasMatch())
        << picture.toStdString();
    expectShown(QImage(dir.filePath(picture)), "Ctrl+S");

    // Each save is stamped with its own second, so the grid's name is the one
    // for the clock's second before or after the key.
    const auto gridName = [] {
        return QStringLiteral("meshscope-%1-grid.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    };
    const QString gridBefore = gridName();
    QTest::keyClick(window->viewport(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    const QString gridAfter = gridName();
    ASSERT_EQ(saved(QStringLiteral("*-grid.txt")).size(), 1);
    const QString grid = saved(QStringLiteral("*-grid.txt")).first();
    EXPECT_TRUE(grid == gridBefore || grid == gridAfter) << grid.toStdString();
    QTemporaryDir streamDir;
    const QString stream = streamDir.filePath(QStringLiteral("stream.txt"));
    std::ofstream(stream.toStdString()) << referenceFrame;
    QProcess meshgrid;
    meshgrid.start(QStringLiteral(MESHGRID_PATH), {stream});
    ASSERT_TRUE(meshgrid.waitForFinished(30000));
    const std::string gridOfStream = meshgrid.readAllStandardOutput().toStdString();
    EXPECT_EQ(fileContent(dir.filePath(grid)), gridOfStream);

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QTest::keyClick(window->viewport(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return !clipboard->image().isNull(); }));
    expectShown(clipboard->image(), "Ctrl+C");

    const std::string said = errors.text();
    EXPECT_NE(said.find("meshscope: saved the picture to " + dir.filePath(picture).toStdString() + "\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("meshscope: saved the grid to " + dir.filePath(grid).toStdString() + "\n"), std::string::npos)
        << said;
    EXPECT_EQ(kept(), before); // not shininess, colours or anything else the keys keep
    // The window says it too, for a person who never sees standard error.
    const QLabel* note = window->measure().noteBox();
    EXPECT_EQ(note->text(), QStringLiteral("Copied the picture to the clipboard"));
    EXPECT_TRUE(note->isVisible());
    // All of it on screen: the last letters, where the font sets them, show.
    const double ratio = window->devicePixelRatio();
    const int textEnd = note->x() + note->contentsRect().left() + note->fontMetrics().horizontalAdvance(note->text());
    const QRectF lastLetters(QPointF(textEnd - 12, note->y()) * ratio, QSizeF(12, note->height()) * ratio);
    EXPECT_GT(brightPixels(serverPixels(*window).copy(lastLetters.toRect())), 5) << "the note is cut off";

    // The menu's items, each showing its key, do the same.
    QMenu* menu = window->viewMenu();
    // The whole menu as it opens: every item in its place with its key, its
    // check and whether it can be chosen (the Source and Level submenus have
    // tests of their own).
    const std::function<QStringList(const QMenu&)> shownItems = [&](const QMenu& shown) {
        QStringList items;
        for (const QAction* action : shown.actions()) {
            QString item = action->isSeparator() ? QStringLiteral("-") : action->text();
            if (action->isCheckable())
                item.prepend(action->isChecked() ? QStringLiteral("[x] ") : QStringLiteral("[ ] "));
            if (!action->isEnabled())
                item.append(QStringLiteral(" (off)"));
            if (action->menu() && action->text() == QStringLiteral("Trend of"))
                item += QStringLiteral(" {") + shownItems(*action->menu()).join(QStringLiteral(", ")) + u'}';
            items << item;
        }
        return items;
    };
    QTest::mouseClick(window->viewport(), Qt::RightButton, {}, QPoint(400, 300));
    ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
    EXPECT_EQ(shownItems(*menu).join(u'\n').toStdString(),
              QStringList({"Save picture\tCtrl+S",
                           "Save grid\tCtrl+Shift+S",
                           "Copy picture\tCtrl+C",
                           "-",
                           "Resume the line\tSpace",
                           "Read the data file again\tf",
                           "-",
                           "Freeze\tCtrl+Space",
                           "Step back\tCtrl+Left",
                           "Step forward\tCtrl+Right",
                           "Oldest frame\tCtrl+Home",
                           "Live\tCtrl+End",
                           "-",
                           "Set baseline",
                           "[ ] Show difference (off)",
                           "Clear baseline (off)",
                           "-",
                           "Export surface…",
                           "-",
                           "[ ] Show colour scale",
                           "[ ] Fit colours to the surface",
                           "[ ] Show samples",
                           "Source",
                           "[ ] Show statistics",
                           "Units…",
                           "Level",
                           "[ ] Show trend",
                           "Trend of {[ ] min, [ ] max, [x] range, [ ] mean, [ ] Sq, [ ] Sa}"})
                  .join(u'\n')
                  .toStdString());
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }));
    const auto choose = [&](const QString& item, const QString& key) {
        QTest::mouseClick(window->viewport(), Qt::RightButton, {}, QPoint(400, 300));
        ASSERT_TRUE(waitFor([&] { return menu->isVisible(); })) << item.toStdString();
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(item)) {
                EXPECT_TRUE(action->text().endsWith(QLatin1Char('\t') + key)) << action->text().toStdString();
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }));
                return;
            }
        }
        ADD_FAILURE() << "no menu item " << item.toStdString();
    };
    // The menu's file is the one beside the key's (in the same second it is
    // "...-2.png", which sorts before the first by name).
    const auto other = [&](const QString& pattern, const QString& first) {
        QStringList names = saved(pattern);
        names.removeAll(first);
        return names.value(0);
    };
    choose(QStringLiteral("Save picture"), QStringLiteral("Ctrl+S"));
    ASSERT_TRUE(waitFor([&] { return saved(QStringLiteral("*.png")).size() == 2; }));
    expectShown(QImage(dir.filePath(other(QStringLiteral("*.png"), picture))), "menu save picture");
    EXPECT_EQ(window->measure().noteBox()->text(),
              QStringLiteral("Saved the picture to ") + dir.filePath(other(QStringLiteral("*.png"), picture)));
    choose(QStringLiteral("Save grid"), QStringLiteral("Ctrl+Shift+S"));
    ASSERT_EQ(saved(QStringLiteral("*-grid.txt")).size(), 2);
    EXPECT_EQ(window->measure().noteBox()->text(),
              QStringLiteral("Saved the grid to ") + dir.filePath(other(QStringLiteral("*-grid.txt"), grid)));
    EXPECT_EQ(fileContent(dir.filePath(other(QStringLiteral("*-grid.txt"), grid))), gridOfStream);
    clipboard->clear();
    choose(QStringLiteral("Copy picture"), QStringLiteral("Ctrl+C"));
    ASSERT_TRUE(waitFor([&] { return !clipboard->image().isNull(); }));
    expectShown(clipboard->image(), "menu copy");
    EXPECT_EQ(kept(), before);

    // Resume and pause as the space key does, and read the data file as f does.
    choose(QStringLiteral("Resume the line"), QStringLiteral("Space"));
    EXPECT_TRUE(window->session().pollTimer().isActive());
    choose(QStringLiteral("Pause the line"), QStringLiteral("Space"));
    EXPECT_FALSE(window->session().pollTimer().isActive());
    scratch->writeDataFile(hillFile());
    choose(QStringLiteral("Read the data file again"), QStringLiteral("f")); // the key as typed
    EXPECT_FLOAT_EQ(state().rawHeights[20][20], 55);

    // A working folder whose name is no UTF-8 text is written to as the bytes it is.
    const std::string odd = QFile::encodeName(scratch->path()).toStdString() + "/d\xff\xfeq";
    ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(odd.c_str()), 0);
    const auto oddFiles = [&] {
        std::vector<std::string> names;
        if (DIR* folder = ::opendir(odd.c_str())) {
            while (const dirent* entry = ::readdir(folder))
                if (entry->d_name[0] != '.')
                    names.emplace_back(entry->d_name);
            ::closedir(folder);
        }
        return names;
    };
    QTest::keyClick(window->viewport(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(window->viewport(), Qt::Key_S, Qt::ControlModifier);
    const bool bothSaved = waitFor([&] { return oddFiles().size() == 2; });
    ASSERT_EQ(::chdir(QFile::encodeName(scratch->path()).constData()), 0);
    EXPECT_TRUE(bothSaved) << oddFiles().size() << " files: " << errors.text();
}

TEST_F(WindowTest, ReferenceFrameIsCountedAndShowsThePeakInItsColour)
{
    startWithDevice(std::string());
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 2; }));
    EXPECT_EQ(state().interpCount, state().okCount);
    EXPECT_TRUE(waitFor([&] { return status().find("Interp. Count= 0;") == std::string::npos; }));

    // The grab is in device pixels; the view fills it alike at any ratio.
    const QImage image = picture();
    const QPointF peak = projectedPoint({65.5f, 65.5f, 69}, image.size(), 1, 98);
    const QPointF low = projectedPoint({3, 66, 11}, image.size(), 1, 98);
    const QColor atPeak = windowtest::meanColour(image, int(peak.x()), int(peak.y()));
    const QColor atLow = windowtest::meanColour(image, int(low.x()), int(low.y()));
    // Colour mode 1 runs from azure at 0 to orange at 50 and beyond.
    EXPECT_GT(atPeak.red(), atPeak.blue() + 40) << atPeak.name().toStdString();
    EXPECT_GT(atLow.blue(), atLow.red() + 40) << atLow.name().toStdString();
}

TEST_F(WindowTest, QuietLineKeepsCountingWithoutRedrawingTheSamePicture)
{
    startWithDevice(std::string());
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 1; }));
    ASSERT_TRUE(nextFrame());

    QSignalSpy presented(window->viewport(), &VornCtl::framePresented);
    const std::int32_t takes = state().interpCount;
    QTest::qWait(800); // three animation ticks, each asking for a redraw
    EXPECT_GT(state().interpCount, takes);
    EXPECT_EQ(presented.count(), 0);

    type('q'); // no command, but every key repaints
    ASSERT_TRUE(presented.wait(2000));

    type('y');
    ASSERT_TRUE(presented.wait(2000)); // the spin changes the picture again
}

// A stream of distinct frames, one every 20 ms: by default the picture follows
// the animation ticks; live, it follows the stream, and a quiet line after it
// (the last frame taken again and again) shows nothing new.
TEST_F(WindowTest, LivePicturesFollowTheStreamAndTheDefaultTheAnimationTicks)
{
    startWithDevice(std::string());
    int step = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        ++step;
        device.send("<1,1," + std::to_string(step % 50) + "; 99,99,30; 50," + std::to_string(1 + step % 99) + ",60>");
    });
    feed.start(20);
    ASSERT_TRUE(waitFor([&] { return state().interpCount >= 5; }));

    // Frames shown and animation ticks over 1.5 s of the stream.
    const auto countShown = [&] {
        QSignalSpy presented(window->viewport(), &VornCtl::framePresented);
        QSignalSpy ticks(&window->session(), &meshscope::ViewerSession::animationTicked);
        const std::int32_t accepted = state().interpCount;
        QTest::qWait(1500);
        EXPECT_GT(state().interpCount - accepted, (kAddressSanitizer ? 1 : 4) * ticks.count())
            << "the stream did not arrive";
        return std::pair{presented.count(), ticks.count()};
    };
    const auto [shown, ticks] = countShown();
    EXPECT_GE(ticks, 2);
    EXPECT_LE(shown, ticks + 1);

    window->setLive(true);
    // Live, the poll that takes a new frame has presented it when it returns,
    // ahead of whatever else waits in the event loop.
    int livePresents = 0, presentedByLastPoll = 0, taken = 0, takenUnshown = 0;
    std::uint64_t grid = state().gridRevision;
    const auto countPresents = QObject::connect(window->viewport(), &VornCtl::framePresented, [&] { ++livePresents; });
    const auto afterPoll
        = QObject::connect(&window->session().pollTimer(), &QTimer::timeout, [&] { // after the window's own
              if (state().gridRevision != grid) {
                  ++taken;
                  takenUnshown += livePresents == presentedByLastPoll;
              }
              grid = state().gridRevision;
              presentedByLastPoll = livePresents;
          });
    const auto [liveShown, liveTicks] = countShown();
    QObject::disconnect(afterPoll);
    QObject::disconnect(countPresents);
    EXPECT_GT(taken, 4);
    EXPECT_EQ(takenUnshown, 0) << "of " << taken << " polls that took a new frame";
    // The sanitizer build draws several times slower: there the picture need
    // only outrun the animation.
    EXPECT_GT(liveShown, kAddressSanitizer ? liveTicks + 1 : 3 * liveTicks)
        << liveShown << " frames shown at " << liveTicks << " animation ticks";

    feed.stop();
    const int last = step;
    ASSERT_TRUE(waitFor([&] { return state().ptY[2] == 1 + last % 99; })); // the last frame is taken
    ASSERT_TRUE(nextFrame());                                              // and shown
    QSignalSpy presented(window->viewport(), &VornCtl::framePresented);
    const std::int32_t takes = state().interpCount;
    QTest::qWait(800);
    EXPECT_GT(state().interpCount, takes); // the last frame is taken again at every poll
    EXPECT_EQ(presented.count(), 0);
}

TEST_F(WindowTest, ReTakenFramesKeepTheProjectionAndZoomStillChangesIt)
{
    startWithDevice(std::string());
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 3; })); // each take ran the set-up
    const auto horizontalScale = [&] {
        GLdouble m[16] = {};
        window->viewport()->glGetDoublev(GL_PROJECTION_MATRIX, m);
        return m[0];
    };
    const double before = horizontalScale();
    EXPECT_GT(before, 0);

    type('+');                                                   // the bounds shrink by 1.5, so the scale grows by 1.5
    EXPECT_NEAR(horizontalScale(), before * 1.5, before * 1e-6); // GL keeps floats
    QTest::qWait(50);                                            // more takes of the same frame
    EXPECT_NEAR(horizontalScale(), before * 1.5, before * 1e-6);
}

TEST_F(WindowTest, KeysChangeThePicture)
{
    startWithDevice();
    const struct {
        char key;
        std::function<bool(meshscope::ViewerState&)> changed;
    } steps[] = {
        {'c', [](auto& s) { return s.colorMode == 2; }},
        {'b', [](auto& s) { return s.borderOn == meshscope::kTrue; }},
        {'p', [](auto& s) { return s.orthographic == meshscope::kTrue; }},
        {'+', [](auto& s) { return s.zoom == 1.5 * 1.5; }},
        {'5', [](auto& s) { return s.smoothLevel == 9; }},
    };
    QImage previous = picture();
    for (const auto& step : steps) {
        type(step.key);
        EXPECT_TRUE(step.changed(state())) << "key " << step.key;
        const QImage now = picture();
        EXPECT_GT(windowtest::changedShare(previous, now), 0.002) << "key " << step.key;
        previous = now;
    }

    type('x');
    ASSERT_TRUE(waitFor([&] { return state().rotation[0] >= 37; }));
    EXPECT_GT(windowtest::changedShare(previous, picture()), 0.002);
    type('x'); // stops, reversing for the next start
    EXPECT_EQ(state().animAxis, 3);
}

TEST_F(WindowTest, DragTurnsAndWheelZoomsAsTheStatusLineShowsWhileTheSpinRuns)
{
    startWithDevice();
    type('y');
    QWidget* view = window->viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(400, 400));
    QTest::mouseMove(view, QPoint(440, 420)); // 40 px right, 20 down
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(440, 420));
    QTest::mouseMove(view, QPoint(600, 600)); // no button: no turn
    EXPECT_EQ(state().rotation[2], 35.0f);
    EXPECT_EQ(state().rotation[0], 40.0f);

    QWheelEvent notch(QPointF(400, 400), view->mapToGlobal(QPointF(400, 400)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &notch);
    EXPECT_DOUBLE_EQ(state().zoom, 2.25);
    EXPECT_TRUE(waitFor([&] {
        return status().starts_with("x= 40 y=") && status().find(" z= 35 zoom= 2.25 [") != std::string::npos;
    })) << status();
    const float y = state().rotation[1];
    EXPECT_TRUE(waitFor([&] { return state().rotation[1] >= y + 2; })); // y still spins
}

TEST_F(WindowTest, EveryControlPassesEachKeyOnceToTheCommands)
{
    startWithDevice();
    type('+', window.get());
    type('+', helpBoxOf(*window));
    type('+', window->viewport());
    EXPECT_DOUBLE_EQ(state().zoom, 1.5 * 1.5 * 1.5 * 1.5);
}

std::string fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(unreadable)");
}

TEST_F(WindowTest, RecordingHoldsEveryByteReadAndMeshgridCountsItAsTheViewerDid)
{
    QTemporaryDir recordDir;
    recordFile = recordDir.filePath(QStringLiteral("session.txt"));
    startWithDevice(std::string());

    // One frame a tick, each followed by the next frame's "<" so no frame is
    // left whole in the buffer to be taken again; the first frame is bad.
    const std::string pieces[] = {"<1,1;2><", "66,66,70; 100,100,10; 1,66,10; 100,33,10; 66,100,10><",
                                  "10,10,5; 90,90,60><", "50,20,30; 20,50,40; 80,80,10><"};
    std::string sent;
    for (const std::string& piece : pieces) {
        const int before = state().interpCount;
        device.send(piece);
        sent += piece;
        // Written as it is read, not when the file is closed.
        ASSERT_TRUE(waitFor([&] { return fileContent(recordFile) == sent; })) << fileContent(recordFile);
        ASSERT_TRUE(waitFor([&] { return state().rxBuffer == "<"; }));
        EXPECT_EQ(state().interpCount, before + (piece == pieces[0] ? 0 : 1));
    }
    ASSERT_TRUE(waitFor([&] { return status().ends_with("[Interp. Count= 3; OK= 1]"); })) << status();

    QProcess meshgrid;
    meshgrid.start(QStringLiteral(MESHGRID_PATH), {recordFile});
    ASSERT_TRUE(meshgrid.waitForFinished(30000));
    EXPECT_EQ(meshgrid.readAllStandardError().toStdString(), "accepted 3, reference 1; frames in the stream 4\n");

    // The space key throws away what arrived while the line was stopped, yet
    // it did arrive; the stopped control holds only a little of it meanwhile.
    type(' ');
    std::string whileStopped;
    for (int k = 0; k < 300; ++k)
        whileStopped += "<5,5,5; 6,6,6>";
    device.send(whileStopped);
    QTest::qWait(100);
    type(' ');
    device.send(pieces[2]);
    sent += whileStopped + pieces[2];
    EXPECT_TRUE(waitFor([&] { return fileContent(recordFile) == sent; })) << fileContent(recordFile);
}

// Frames whose points differ from one another, as a device sends them.
std::string distinctFrame(int n)
{
    return "<" + std::to_string(10 + 7 * n) + ",20," + std::to_string(5 * n) + "; 70," + std::to_string(30 + 4 * n)
        + ",40; 50,90," + std::to_string(20 - 3 * n) + "; 25,60,15>";
}

// meshgrid's "x y z" lines for a stream.
std::string meshgridOf(const std::string& stream, QStringList arguments = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stream.txt"));
    std::ofstream(path.toStdString(), std::ios::binary) << stream;
    QProcess meshgrid;
    meshgrid.start(QStringLiteral(MESHGRID_PATH), arguments << path);
    EXPECT_TRUE(meshgrid.waitForFinished(30000));
    return meshgrid.readAllStandardOutput().toStdString();
}

// A picture of the window without its status line, whose counters depend on
// the polls, and the history slider, which follows the frames that arrive.
QImage withoutStatusLine(frmVimo& window, QImage image)
{
    const qreal ratio = image.devicePixelRatio();
    // The lines that say the moment, the source, its problems and the pointer's cell, not the surface.
    for (const QWidget* box :
         {static_cast<QWidget*>(statusBoxOf(window)), static_cast<QWidget*>(window.lookBackBar().sliderPanel()),
          static_cast<QWidget*>(window.measure().healthBox()), static_cast<QWidget*>(window.measure().noteBox()),
          static_cast<QWidget*>(window.measure().readoutBox()), static_cast<QWidget*>(problemBoxOf(window))}) {
        // The problem box keeps its place while hidden: one window may show
        // it where another does not. A hidden note has no place.
        if (!box->isVisible() && box != problemBoxOf(window))
            continue;
        const QRect area(box->mapTo(&window, QPoint(0, 0)), box->size());
        for (int y = int(area.top() * ratio); y < std::min(image.height(), int((area.bottom() + 1) * ratio)); ++y)
            for (int x = int(area.left() * ratio); x < std::min(image.width(), int((area.right() + 1) * ratio)); ++x)
                image.setPixel(x, y, 0);
    }
    return image;
}

std::string drawnGridText(meshscope::ViewerState& s)
{
    return meshscope::gridText(s.heights, s.drawMinX, s.drawMaxX, s.drawMinY, s.drawMaxY);
}

// Frozen with Ctrl+Space, the picture holds while the line goes on reading,
// counting and recording; stepped back k frames it is the grid meshgrid makes
// of the stream cut after that frame; Ctrl+End is live again.
TEST_F(WindowTest, FrozenPictureStepsBackThroughTheHistoryWhileTheLineGoesOn)
{
    QTemporaryDir recordDir;
    recordFile = recordDir.filePath(QStringLiteral("session.txt"));
    startWithDevice(std::string());
    meshscope::LookBackBar& bar = window->lookBackBar();
    const meshscope::FrameHistory& history = window->session().lookBack().history();
    std::vector<std::string> sent;
    const auto sendFrame = [&](int n) {
        sent.push_back(distinctFrame(n));
        device.send(sent.back());
        ASSERT_TRUE(waitFor([&] { return history.size() == sent.size(); })) << history.size();
    };
    for (int n = 0; n < 6; ++n)
        sendFrame(n);
    EXPECT_FALSE(bar.sliderPanel()->isVisible());

    QTest::keyClick(window->viewport(), Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(window->session().lookBack().frozen());
    EXPECT_TRUE(bar.sliderPanel()->isVisible());
    const QImage frozen = withoutStatusLine(*window, picture());
    const int sliderTop = bar.sliderPanel()->mapTo(window.get(), QPoint(0, 0)).y();
    const std::int32_t counted = state().interpCount;
    for (int n = 6; n < 9; ++n)
        sendFrame(n);
    std::string stream;
    for (const std::string& frame : sent)
        stream += frame;
    EXPECT_TRUE(waitFor([&] { return fileContent(recordFile) == stream; })) << fileContent(recordFile);
    EXPECT_GT(state().interpCount, counted);
    {
        // The slider panel rises above a problem the bottom box shows meanwhile:
        // compare what stands above it in both.
        const int top = std::min(sliderTop, bar.sliderPanel()->mapTo(window.get(), QPoint(0, 0)).y());
        const auto above = [&](const QImage& image) {
            return image.copy(0, 0, image.width(), image.height() * top / window->height());
        };
        EXPECT_EQ(windowtest::changedShare(above(frozen), above(withoutStatusLine(*window, picture()))), 0.0);
    }

    // The trend stands on the slider panel; on the X server its frozen frame's
    // mark is yellow at that frame's place and moves back with each step.
    window->setTrendShown(true);
    meshscope::TrendChart& trend = window->trendChart();
    const auto markShownAt = [&](int x) {
        const QImage shown = screenOf(*window);
        const QPoint origin = trend.mapTo(window.get(), QPoint(0, 0));
        int yellow = 0;
        for (int y = origin.y(); y < origin.y() + trend.height(); ++y) {
            const QColor c = shown.pixelColor(origin.x() + x, y);
            yellow += c.red() > 200 && c.green() > 170 && c.blue() < 90 ? 1 : 0;
        }
        return yellow > trend.height() / 2;
    };
    ASSERT_TRUE(waitFor([&] { return trend.isVisible() && trend.markX() > 0 && markShownAt(trend.markX()); }));
    EXPECT_EQ(trend.mapTo(window.get(), QPoint(0, trend.height())).y(),
              bar.sliderPanel()->mapTo(window.get(), QPoint(0, 0)).y());
    const int markBefore = trend.markX();
    {
        // Its value axis on the X server: a vertical line left of the chart with
        // a labelled tick mark per tick; a height unit set widens the labels.
        const auto axisOnScreen = [&] {
            const QImage shown = screenOf(*window);
            const QPoint origin = trend.mapTo(window.get(), QPoint(0, 0));
            for (int x = 0; x < trend.width() / 2; ++x) {
                bool line = true;
                for (int y = 20; y < trend.height() - 8 && line; ++y)
                    line = qGray(shown.pixel(origin.x() + x, origin.y() + y)) > 60;
                if (line)
                    return x;
            }
            return -1;
        };
        const auto labelledTicksShown = [&] {
            const QImage shown = screenOf(*window);
            const QPoint origin = trend.mapTo(window.get(), QPoint(0, 0));
            for (const meshscope::TrendChart::Tick& tick : trend.ticks()) {
                if (qGray(shown.pixel(origin.x() + trend.axisX() - 2, origin.y() + tick.y)) <= 60)
                    return false;
                int text = 0;
                for (int y = tick.y - 4; y <= tick.y + 4; ++y)
                    for (int x = 0; x < trend.axisX() - 5; ++x)
                        text += qGray(shown.pixel(origin.x() + x, origin.y() + y)) > 60;
                if (text < 5)
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(waitFor([&] { return trend.ticks().size() >= 2 && axisOnScreen() == trend.axisX(); }))
            << trend.ticks().size() << " ticks, axis at " << axisOnScreen() << " not " << trend.axisX();
        EXPECT_TRUE(labelledTicksShown());
        const int plainAxis = trend.axisX();
        window->setUnits({std::nullopt, meshscope::parseQuantity("10um")});
        EXPECT_TRUE(waitFor([&] {
            return !trend.ticks().empty() && trend.ticks().front().label.endsWith(QStringLiteral(" µm"))
                && axisOnScreen() == trend.axisX() && trend.axisX() > plainAxis;
        })) << axisOnScreen()
            << " " << plainAxis;
        EXPECT_TRUE(labelledTicksShown());
        window->setUnits({});
    }

    const int k = 3;
    for (int step = 0; step < k; ++step)
        QTest::keyClick(window->viewport(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_LT(trend.markX(), markBefore);
    EXPECT_TRUE(waitFor([&] { return markShownAt(trend.markX()) && !markShownAt(markBefore); }));
    EXPECT_EQ(bar.frameLabel()->text(),
              QStringLiteral("frame %1 at %2 s")
                  .arg(6 - k)
                  .arg(double(history.at(6 - k).arrivalMs - history.startMs()) / 1000.0, 0, 'f', 2));
    std::string cut;
    for (int n = 0; n < 6 - k; ++n)
        cut += sent[static_cast<std::size_t>(n)];
    EXPECT_EQ(drawnGridText(window->session().lookBack().shownState(state())), meshgridOf(cut));
    EXPECT_EQ(bar.slider()->value(), 6 - k - 1);
    EXPECT_TRUE(bar.sliderLabel()->text().endsWith(QStringLiteral(" s ago")))
        << bar.sliderLabel()->text().toStdString();
    EXPECT_GT(windowtest::changedShare(frozen, withoutStatusLine(*window, picture())), 0.01);
    // Its sample marks and the read-out's nearest point and unsmoothed height
    // are that frame's (the third sent), not the line's newest.
    {
        const meshscope::ViewerState& shown = window->session().lookBack().shownState(state());
        const int points[4][3] = {{24, 20, 10}, {70, 38, 40}, {50, 90, 14}, {25, 60, 15}};
        ASSERT_TRUE(shown.interpolated.valid);
        ASSERT_EQ(shown.interpolated.lastPoint, 3);
        for (std::size_t p = 0; p < 4; ++p)
            EXPECT_EQ(std::make_tuple(shown.interpolated.ptX[p], shown.interpolated.ptY[p], shown.interpolated.ptZ[p]),
                      std::make_tuple(points[p][0], points[p][1], points[p][2]))
                << p;
        const auto cell = meshscope::readCell(shown, 70, 38);
        ASSERT_TRUE(cell && cell->nearest);
        EXPECT_EQ(std::make_tuple(cell->nearest->column, cell->nearest->row, cell->nearest->height),
                  std::make_tuple(70, 38, 40));
        EXPECT_EQ(cell->rawHeight, 40);
    }

    // The slider scrubs; Ctrl+Home is the oldest frame, Ctrl+End live.
    bar.slider()->setValue(7);
    EXPECT_EQ(drawnGridText(window->session().lookBack().shownState(state())),
              meshgridOf(stream.substr(0, stream.rfind('<'))));
    QTest::keyClick(window->viewport(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(drawnGridText(window->session().lookBack().shownState(state())), meshgridOf(sent[0]));
    QTest::keyClick(window->viewport(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_FALSE(window->session().lookBack().frozen());
    EXPECT_FALSE(bar.sliderPanel()->isVisible());
    EXPECT_EQ(drawnGridText(state()), meshgridOf(stream));
    EXPECT_EQ(&window->session().lookBack().shownState(state()), &state());

    // The menu's baseline: the live surface less itself is flat at 0.
    const auto item = [&](const QString& text) {
        for (QAction* action : window->viewMenu()->actions())
            if (action->text().startsWith(text))
                return action;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return window->viewMenu()->actions().constFirst();
    };
    QLabel* differenceLine = window->measure().differenceBox();
    item(QStringLiteral("Set baseline"))->trigger();
    ASSERT_TRUE(nextFrame());
    EXPECT_FALSE(differenceLine->isVisible());
    item(QStringLiteral("Show difference"))->trigger();
    meshscope::ViewerState& difference = window->session().lookBack().shownState(state());
    for (int x = difference.drawMinX; x <= difference.drawMaxX; ++x)
        for (int y = difference.drawMinY; y <= difference.drawMaxY; ++y)
            ASSERT_EQ(difference.heights[x][y], 0.0f) << x << ' ' << y;
    // A line under the read-out says what is drawn, in the window and in its
    // pictures; a baseline taken from another source stays and keeps its name.
    const QString said
        = QStringLiteral("difference from the baseline of %1 taken at ").arg(QString::fromStdString(device.path()));
    ASSERT_TRUE(waitFor([&] { return differenceLine->isVisible(); }));
    EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(said) + QStringLiteral("\\d\\d:\\d\\d:\\d\\d$"))
                    .match(meshscope::MeasureView::lineText(differenceLine))
                    .hasMatch())
        << differenceLine->text().toStdString();
    const QRect lineArea(differenceLine->mapTo(window.get(), QPoint(0, 0)), differenceLine->size());
    EXPECT_GE(lineArea.top(), window->measure().readoutBox()->geometry().bottom());
    const QImage onScreen = windowtest::settled([&] { return serverPixels(*window); });
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QTest::keyClick(window->viewport(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return !clipboard->image().isNull(); }));
    const QImage copied = clipboard->image().convertToFormat(QImage::Format_RGB32);
    const double ratio = window->devicePixelRatioF();
    const QRect pixels = QRectF(QPointF(lineArea.topLeft()) * ratio, QSizeF(lineArea.size()) * ratio).toRect();
    const QImage lineShown = onScreen.copy(pixels);
    EXPECT_EQ(copied.copy(pixels), lineShown);
    if (const QString grabs = qEnvironmentVariable("MESHSCOPE_TEST_GRABS"); !grabs.isEmpty())
        onScreen.save(grabs + QStringLiteral("/difference.png"));
    const QColor ground = differenceLine->palette().color(QPalette::Window);
    int lettering = 0;
    for (int y = 0; y < lineShown.height(); ++y)
        for (int x = 0; x < lineShown.width(); ++x)
            lettering += lineShown.pixelColor(x, y) != ground;
    EXPECT_GT(lettering, 100);
    FakeDevice other;
    window->session().switchSource(QString::fromStdString(other.path()));
    sent.push_back(distinctFrame(9));
    stream += sent.back();
    other.send(sent.back());
    ASSERT_TRUE(waitFor([&] { return history.size() == sent.size(); }));
    ASSERT_TRUE(nextFrame());
    EXPECT_TRUE(window->session().lookBack().differenceShown());
    EXPECT_TRUE(meshscope::MeasureView::lineText(differenceLine).startsWith(said))
        << differenceLine->text().toStdString();

    // Export surface... writes what is shown (here as the file its dialog chose).
    item(QStringLiteral("Clear baseline"))->trigger();
    ASSERT_TRUE(nextFrame());
    EXPECT_FALSE(differenceLine->isVisible());
    StderrCapture errors;
    const QString exported = recordDir.filePath(QStringLiteral("surface.csv"));
    bar.exportTo(exported);
    std::string grid = meshgridOf(stream);
    std::replace(grid.begin(), grid.end(), ' ', ',');
    EXPECT_EQ(fileContent(exported), "x,y,z\n" + grid);
    EXPECT_NE(errors.text().find("meshscope: exported the surface to " + exported.toStdString()), std::string::npos)
        << errors.text();
}

// The statistics panel on the X server's pixels, its numbers meshgrid's for
// the same stream, levelled from the Level submenu as meshgrid levels.
TEST_F(WindowTest, StatisticsPanelShowsMeshgridsNumbersOfWhatIsShown)
{
    startWithDevice(std::string());
    std::string stream;
    for (int n = 0; n < 3; ++n) {
        stream += distinctFrame(n);
        device.send(distinctFrame(n));
        ASSERT_TRUE(waitFor([&] { return window->session().lookBack().history().size() == std::size_t(n + 1); }));
    }
    ASSERT_TRUE(nextFrame());
    const auto item = [&](QMenu& menu, const QString& text) {
        for (QAction* action : menu.actions())
            if (action->text().startsWith(text))
                return action;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return menu.actions().constFirst();
    };
    // White text under the help box, where the view is black without the panel.
    const auto textPixels = [&] {
        const QImage area = screenOf(*window).copy(0, 172, 220, 150);
        int bright = 0;
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x)
                bright += qGray(area.pixel(x, y)) > 160;
        return bright;
    };
    const int without = textPixels();
    // Each "name value unit" line of meshgrid's says what the panel says.
    const auto expectMeshgridNumbers = [&](QStringList arguments) {
        QStringList panel = window->statisticsPanel().text().split(QLatin1Char('\n'));
        const QStringList said
            = QString::fromStdString(
                  meshgridOf(stream, arguments << QStringLiteral("--height-unit") << QStringLiteral("10um")))
                  .split(QLatin1Char('\n'));
        for (const char* word : {"min", "max", "range", "mean", "Sq", "Sa"}) {
            const QString name = QString::fromLatin1(word);
            const QStringList theirs = said.filter(QRegularExpression(QLatin1Char('^') + name + QLatin1Char(' ')))
                                           .value(0)
                                           .split(QLatin1Char(' '));
            const QStringList ours = panel.filter(QRegularExpression(QLatin1Char('^') + name + QLatin1Char(' ')))
                                         .value(0)
                                         .split(QLatin1Char(' '));
            ASSERT_GE(theirs.size(), 3) << name.toStdString();
            ASSERT_GE(ours.size(), 3) << panel.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(ours[2], theirs[2]) << name.toStdString();
            EXPECT_NEAR(ours[1].toDouble(), theirs[1].toDouble(), 1e-3 * std::abs(theirs[1].toDouble()) + 1e-9)
                << name.toStdString();
        }
    };

    {
        // The units typed into the menu's dialog on the X server's keyboard: a
        // field that does not read is said there and holds OK back.
        item(*window->viewMenu(), QStringLiteral("Units…"))->trigger();
        auto* dialog = window->findChild<meshscope::UnitsDialog*>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(waitFor([&] { return dialog->isActiveWindow() && dialog->gridStepBox()->hasFocus(); }));
        const auto keys = [](const QStringList& arguments) {
            EXPECT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
        };
        keys({QStringLiteral("type"), QStringLiteral("2kPa")});
        EXPECT_TRUE(waitFor([&] { return dialog->gridStepBox()->text() == QStringLiteral("2kPa"); }));
        EXPECT_TRUE(dialog->problemLabel()->isVisible());
        EXPECT_TRUE(dialog->problemLabel()->text().contains(QStringLiteral("\"2kPa\"")))
            << dialog->problemLabel()->text().toStdString();
        EXPECT_FALSE(dialog->okButton()->isEnabled());
        keys({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace"), QStringLiteral("Tab")});
        keys({QStringLiteral("type"), QStringLiteral("10 um")});
        EXPECT_TRUE(waitFor([&] { return dialog->okButton()->isEnabled(); }))
            << dialog->problemLabel()->text().toStdString();
        EXPECT_FALSE(dialog->problemLabel()->isVisible());
        keys({QStringLiteral("key"), QStringLiteral("Return")});
        ASSERT_TRUE(waitFor([&] { return !dialog->isVisible(); }));
        EXPECT_FALSE(window->statisticsPanel().units().gridStep);
        ASSERT_TRUE(window->statisticsPanel().units().heightUnit);
        EXPECT_EQ(*window->statisticsPanel().units().heightUnit, *meshscope::parseQuantity("10um"));
    }
    item(*window->viewMenu(), QStringLiteral("Show statistics"))->trigger();
    ASSERT_TRUE(nextFrame());
    EXPECT_GT(textPixels(), without + 200);
    expectMeshgridNumbers({QStringLiteral("--stats")});

    QMenu* level = item(*window->viewMenu(), QStringLiteral("Level"))->menu();
    ASSERT_NE(level, nullptr);
    const QImage unlevelled = withoutStatusLine(*window, picture());
    item(*level, QStringLiteral("Take away the best-fit plane"))->trigger();
    item(*level, QStringLiteral("Zero at the minimum"))->trigger();
    const QImage levelled = withoutStatusLine(*window, picture());
    EXPECT_GT(windowtest::changedShare(unlevelled, levelled), 0.01);
    expectMeshgridNumbers({QStringLiteral("--stats"), QStringLiteral("--level"), QStringLiteral("plane"),
                           QStringLiteral("--zero"), QStringLiteral("min")});
    EXPECT_TRUE(window->statisticsPanel().text().contains(QStringLiteral("levelled: best-fit plane")));
    // The line beside the read-out says so, as it says a difference.
    const QLabel* levelLine = window->measure().differenceBox();
    EXPECT_TRUE(waitFor([&] {
        return levelLine->isVisible()
            && meshscope::MeasureView::lineText(levelLine)
            == QStringLiteral("levelled: best-fit plane taken away, zero at the minimum");
    })) << meshscope::MeasureView::lineText(levelLine).toStdString();

    // The plane through three cells pinned with the X server's pointer: offered
    // once three are pinned, it puts those cells at 0.
    item(*level, QStringLiteral("Zero as measured"))->trigger();
    QAction* throughThree = item(*level, QStringLiteral("Take away the plane through three pinned cells"));
    EXPECT_FALSE(throughThree->isEnabled());
    EXPECT_TRUE(throughThree->toolTip().contains(QStringLiteral("Pin three cells")))
        << throughThree->toolTip().toStdString();
    VornCtl* view = window->viewport();
    ASSERT_TRUE(window->measure().lastView());
    const auto cellAt = [&](QPointF at) {
        const auto& matrices = *window->measure().lastView();
        const double ratio = view->devicePixelRatioF();
        return meshscope::pickAt(window->session().shownState(), matrices, at.x() * ratio,
                                 matrices.viewport[3] - at.y() * ratio);
    };
    // Three points well inside their cells, far apart and off one line.
    struct Spot {
        QPointF at;
        meshscope::GridCell cell;
    };
    std::vector<Spot> spots;
    for (int y = 180; y < view->height() - 100; y += 15)
        for (int x = 240; x < view->width() - 100; x += 15) {
            const auto hit = cellAt(QPointF(x, y));
            bool inside = hit && hit->part == meshscope::PickedPart::surface;
            for (const QPointF near : {QPointF(-2, 0), QPointF(2, 0), QPointF(0, -2), QPointF(0, 2)}) {
                const auto other = inside ? cellAt(QPointF(x, y) + near) : std::nullopt;
                inside = other && other->column == hit->column && other->row == hit->row;
            }
            if (inside)
                spots.push_back({QPointF(x, y), {hit->column, hit->row}});
        }
    ASSERT_GE(spots.size(), 3U);
    const auto byX = std::minmax_element(spots.begin(), spots.end(),
                                         [](const Spot& a, const Spot& b) { return a.at.x() < b.at.x(); });
    const Spot first = *byX.first, second = *byX.second;
    const auto area = [&](const Spot& c) {
        return std::abs((second.at.x() - first.at.x()) * (c.at.y() - first.at.y())
                        - (second.at.y() - first.at.y()) * (c.at.x() - first.at.x()));
    };
    const Spot third = *std::max_element(spots.begin(), spots.end(),
                                         [&](const Spot& a, const Spot& b) { return area(a) < area(b); });
    std::vector<meshscope::GridCell> cells;
    for (const Spot& spot : {first, second, third}) {
        const QPointF offset = spot.at;
        cells.push_back(spot.cell);
        xPointer(view, offset, true);
        const QString pinned = QStringLiteral("pinned cell %1, %2: ").arg(spot.cell.x).arg(spot.cell.y);
        EXPECT_TRUE(waitFor([&] { return window->measure().readoutBox()->text().startsWith(pinned); }))
            << window->measure().readoutBox()->text().toStdString();
        EXPECT_EQ(throughThree->isEnabled(), cells.size() == 3);
        if (cells.size() < 3) {
            xPointer(view, offset + QPointF(0, -40), true); // lets it go; apart, so no double click
            EXPECT_TRUE(
                waitFor([&] { return !window->measure().readoutBox()->text().startsWith(QStringLiteral("pinned")); }));
        }
    }
    throughThree->trigger();
    ASSERT_TRUE(nextFrame());
    for (const meshscope::GridCell& cell : cells) {
        const auto read = meshscope::readCell(window->session().shownState(), cell.x, cell.y);
        ASSERT_TRUE(read);
        EXPECT_NEAR(read->drawnHeight, 0.0, 1e-3) << cell.x << ", " << cell.y;
    }
    EXPECT_TRUE(window->statisticsPanel().text().contains(QStringLiteral("levelled: plane through three cells")));
    EXPECT_GT(windowtest::changedShare(unlevelled, withoutStatusLine(*window, picture())), 0.01);

    // Cells off the drawn surface level nothing, and the line says so.
    window->setLevelling({meshscope::TiltRemoval::ThroughThreeCells, {{{-5, -5}, {-5, -1}, {-1, -5}}}, {}});
    EXPECT_TRUE(waitFor([&] {
        return meshscope::MeasureView::lineText(levelLine).startsWith(QStringLiteral("not levelled: "));
    })) << meshscope::MeasureView::lineText(levelLine).toStdString();
    EXPECT_FALSE(window->statisticsPanel().text().contains(QStringLiteral("levelled: plane")));
    EXPECT_EQ(meshscope::drawnSurface(window->session().shownState()), meshscope::drawnSurface(state()));

    item(*level, QStringLiteral("No levelling"))->trigger();
    EXPECT_TRUE(waitFor([&] { return !levelLine->isVisible(); }));
    EXPECT_EQ(windowtest::changedShare(unlevelled, withoutStatusLine(*window, picture())), 0.0);
    item(*window->viewMenu(), QStringLiteral("Show statistics"))->trigger();
    ASSERT_TRUE(nextFrame());
    EXPECT_LE(textPixels(), without);
}

// A capture replayed in the window ends on the picture of a window that was
// fed the same frames through a pseudo-terminal, as the X server shows them.
TEST_F(WindowTest, ReplayedCaptureEndsOnTheSamePictureAsTheLine)
{
    std::string capture;
    for (int n = 0; n < 5; ++n)
        capture += distinctFrame(n) + "\r\n";
    const auto withoutStatus = [&](const QImage& image) { return withoutStatusLine(*window, image); };

    startWithDevice(std::string());
    for (int n = 0; n < 5; ++n) {
        device.send(distinctFrame(n) + "\r\n");
        ASSERT_TRUE(waitFor([&] { return window->session().lookBack().history().size() == std::size_t(n + 1); }));
    }
    ASSERT_TRUE(nextFrame());
    const QImage fromLine = withoutStatus(serverPixels(*window));
    window.reset();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.txt"));
    std::ofstream(path.toStdString(), std::ios::binary) << capture;
    window = std::make_unique<frmVimo>(2);
    window->session().inputLine().playCapture(path, 50);
    window->load();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(waitFor([&] { return window->session().lookBack().history().size() == 5; }, 20000));
    ASSERT_TRUE(nextFrame());
    const QImage replayed = withoutStatus(serverPixels(*window));
    EXPECT_EQ(windowtest::changedShare(fromLine, replayed), 0.0);

    // The history holds as many frames as meshgrid finds in the capture.
    QProcess meshgrid;
    meshgrid.start(QStringLiteral(MESHGRID_PATH), {path});
    ASSERT_TRUE(meshgrid.waitForFinished(30000));
    EXPECT_TRUE(meshgrid.readAllStandardError().trimmed().endsWith("frames in the stream 5"));
    EXPECT_EQ(window->session().lookBack().history().size(), 5u);
}

// A capture played to its end says so once and in a note that stays; its last
// frame is not taken again at every poll, and the quiet line is no problem.
// A capture without a frame says that.
TEST_F(WindowTest, ErrorInsidePaintIsReportedAndThatFrameIsNotPresented)
{
    startWithDevice();
    StderrCapture errors;
    state().drawMaxX = 250;
    meshscope::markSetupChanged(state());
    QSignalSpy presented(window->viewport(), &VornCtl::framePresented);
    window->session().RequestRedraw();
    QTest::qWait(400);
    EXPECT_EQ(presented.count(), 0);
    EXPECT_NE(errors.text().find("paint"), std::string::npos);

    state().drawMaxX = 38;
    meshscope::markSetupChanged(state());
    EXPECT_TRUE(nextFrame());
}

// A device plugged in after start-up (here a link to the pseudo-terminal,
// made later) is opened by itself and read.
TEST_F(WindowTest, MissingPortAndDataFileAreReportedAndThePortIsOpenedWhenItAppears)
{
    QTemporaryDir devices;
    const QString later = devices.filePath(QStringLiteral("ttyLater"));
    StderrCapture errors;
    start(std::string(), later);
    EXPECT_FALSE(window->session().inputLine().PortOpen());

    type('+');
    EXPECT_DOUBLE_EQ(state().zoom, 2.25);
    type('y');
    EXPECT_TRUE(waitFor([&] { return status().find(" y= 2 ") != std::string::npos; }));
    EXPECT_EQ(state().drawMaxX, 0); // the empty grid

    // Both problems show in the window too, the port's while it stands.
    const std::string path = later.toStdString();
    const auto boxText = [&] { return problemBoxOf(*window)->toPlainText().toStdString(); };
    EXPECT_TRUE(problemBoxOf(*window)->isVisible());
    EXPECT_NE(boxText().find("cannot open " + path + ": "), std::string::npos) << boxText();
    EXPECT_NE(boxText().find("datafile.dat"), std::string::npos) << boxText();
    // With nothing to draw, the box names the example and how to open it.
    EXPECT_NE(boxText().find(" --replay "), std::string::npos) << boxText();
    EXPECT_NE(boxText().find("wave-capture.txt"), std::string::npos) << boxText();
    // All wholly inside the box, none cut off at its edge.
    EXPECT_EQ(problemBoxOf(*window)->verticalScrollBar()->maximum(), 0) << boxText();
    EXPECT_EQ(problemBoxOf(*window)->horizontalScrollBar()->maximum(), 0) << boxText();

    ASSERT_TRUE(QFile::link(QString::fromStdString(device.path()), later));
    ASSERT_TRUE(waitFor([&] { return window->session().inputLine().PortOpen(); }));
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 2; }));
    EXPECT_EQ(state().drawMaxX, 98);
    EXPECT_EQ(boxText().find(path), std::string::npos) << boxText();
    EXPECT_EQ(boxText().find("--replay"), std::string::npos) << boxText();     // the advice goes with the problem
    EXPECT_NE(boxText().find("datafile.dat"), std::string::npos) << boxText(); // a one-off stays its 15 s

    const std::string said = errors.text();
    errors.restore();
    EXPECT_NE(said.find("meshscope: cannot open " + path + ": "), std::string::npos) << said;
    EXPECT_NE(said.find("(use --port to choose a device)"), std::string::npos) << said;
    EXPECT_NE(said.find("datafile.dat"), std::string::npos) << said;
    EXPECT_NE(said.find("meshscope: opened " + path + "\n"), std::string::npos) << said;
    EXPECT_NE(said.find("Open the example capture: meshscope --replay "
                        + QFile::encodeName(QDir::cleanPath(VORN_SOURCE_DIR "/data/wave-capture.txt")).toStdString()
                        + "\n"),
              std::string::npos)
        << said;
    int lines = 0;
    for (std::size_t at = said.find("meshscope: "); at != std::string::npos; at = said.find("meshscope: ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 4) << said; // said once each
}

// The bottom box on the screen: shown over the view while the port is missing,
// gone once it opens, and back for a data file that cannot be read.
TEST_F(WindowTest, ProblemBoxStandsOverTheViewWhileTheProblemDoes)
{
    QTemporaryDir devices;
    const QString later = devices.filePath(QStringLiteral("ttyLater"));
    StderrCapture errors;
    start(hillFile(), later);
    const QColor notice = QApplication::palette().color(QPalette::Active, QPalette::ToolTipBase);
    // The box's ground, left of any text and near the window's bottom, as the
    // X server shows it.
    const auto boxOnScreen = [&] {
        const QImage shown = screenOf(*window);
        const QColor c = windowtest::meanColour(shown, 14, window->height() - 17);
        return std::abs(c.red() - notice.red()) + std::abs(c.green() - notice.green())
            + std::abs(c.blue() - notice.blue())
            < 12;
    };
    const std::string path = later.toStdString();
    ASSERT_TRUE(problemBoxOf(*window)->isVisible());
    EXPECT_NE(problemBoxOf(*window)->toPlainText().toStdString().find("cannot open " + path), std::string::npos);
    EXPECT_TRUE(waitFor(boxOnScreen));
    // A smaller window (as on a small screen, where it opens fitted) still shows it.
    window->resize(640, 480);
    EXPECT_TRUE(waitFor(boxOnScreen));
    window->resize(1072, 709);
    EXPECT_TRUE(waitFor(boxOnScreen));

    ASSERT_TRUE(QFile::link(QString::fromStdString(device.path()), later));
    ASSERT_TRUE(waitFor([&] { return window->session().inputLine().PortOpen(); }));
    EXPECT_FALSE(problemBoxOf(*window)->isVisible());
    EXPECT_TRUE(waitFor([&] { return !boxOnScreen(); }));

    QFile::remove(QDir(scratch->path()).filePath(QStringLiteral("datafile.dat")));
    type('f');
    EXPECT_NE(problemBoxOf(*window)->toPlainText().toStdString().find("datafile.dat"), std::string::npos);
    EXPECT_TRUE(waitFor(boxOnScreen));
    const std::string said = errors.text();
    EXPECT_NE(said.find("meshscope: cannot open " + path), std::string::npos) << said;
    EXPECT_NE(said.find("datafile.dat"), std::string::npos) << said;
}

TEST_F(WindowTest, ClosingTheWindowClosesAnOpenPortOnly)
{
    startWithDevice();
    ASSERT_TRUE(window->session().inputLine().PortOpen());
    window->close();
    EXPECT_FALSE(window->session().inputLine().PortOpen());

    // Closed again with the port already closed: the window goes quietly,
    // the port is not reopened and no retry is left running.
    window->show();
    StderrCapture errors;
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(window->isHidden());
    EXPECT_FALSE(window->session().inputLine().PortOpen());
    EXPECT_FALSE(window->session().inputLine().retryTimer().isActive());
    QTest::qWait(100);
    const std::string said = errors.text();
    errors.restore();
    EXPECT_EQ(said, "");
}

namespace {

int countOf(const std::string& text, const std::string& needle)
{
    int n = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

// The cell a read-out names, or (-1, -1) when it names none.
std::pair<int, int> cellOf(const QString& readout)
{
    static const QRegularExpression cell(QStringLiteral("cell (\\d+), (\\d+):"));
    const auto match = cell.match(readout);
    return match.hasMatch() ? std::make_pair(match.captured(1).toInt(), match.captured(2).toInt())
                            : std::make_pair(-1, -1);
}

} // namespace

// The pointer over the reference frame's surface in several views: the
// read-out names the cell gluUnProject gives for the depth GL drew under the
// pointer (within one cell where the surface is steep), and nothing over the
// background. A click without a drag pins the read-out; the next lets it go.
TEST_F(WindowTest, ReadoutNamesTheCellGlDrewUnderThePointer)
{
    startWithDevice(std::string());
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 1; }));
    type(' '); // a still picture
    VornCtl* view = window->viewport();
    const auto readout = [&] { return window->measure().readoutBox()->text(); };
    // The middle of the peak's cell as the view shows it, in the view's logical pixels.
    const auto peakAt = [&]() -> std::optional<QPointF> {
        const auto& matrices = *window->measure().lastView();
        QPointF sum;
        int found = 0;
        for (int py = 0; py < matrices.viewport[3]; py += 2)
            for (int px = 0; px < matrices.viewport[2]; px += 2) {
                const auto cell = meshscope::pickAt(state(), matrices, px + 0.5, py + 0.5);
                if (cell && cell->column == 66 && cell->row == 66 && cell->part == meshscope::PickedPart::surface) {
                    sum += QPointF(px + 0.5, matrices.viewport[3] - py - 0.5);
                    ++found;
                }
            }
        if (found == 0)
            return std::nullopt;
        return sum / found / view->devicePixelRatioF();
    };

    {
        // Seen from straight above, with the view's ground on either side.
        state().rotation[0] = 90;
        state().rotation[2] = 0;
        type('q');
        ASSERT_TRUE(nextFrame());
        ASSERT_TRUE(window->measure().lastView());
        const auto& matrices = *window->measure().lastView();
        const std::optional<QPointF> peak = peakAt();
        ASSERT_TRUE(peak);
        // The X server's own pointer: at rest over the peak, the read-out names its
        // cell; over the background, and over the help box, it names none.
        const auto says = [&](const QString& start) { return waitFor([&] { return readout().startsWith(start); }); };
        std::optional<QPointF> background;
        for (int py = 4; py < matrices.viewport[3] && !background; py += 4)
            for (int px = 4; px < matrices.viewport[2] && !background; px += 4) {
                const QPointF at(px / view->devicePixelRatioF(),
                                 (matrices.viewport[3] - py) / view->devicePixelRatioF());
                if (!meshscope::pickAt(state(), matrices, px, py) && px > matrices.viewport[2] / 2
                    && py > matrices.viewport[3] / 2)
                    background = at;
            }
        ASSERT_TRUE(background);
        xPointer(view, *peak);
        EXPECT_TRUE(says(QStringLiteral("cell 66, 66: "))) << readout().toStdString();
        if (const QString grabs = qEnvironmentVariable("MESHSCOPE_TEST_GRABS"); !grabs.isEmpty())
            windowtest::settled([&] { return serverPixels(*window); }).save(grabs + QStringLiteral("/readout.png"));
        xPointer(view, *background);
        EXPECT_TRUE(waitFor([&] { return readout().isEmpty(); })) << readout().toStdString();
        xPointer(view, *peak);
        EXPECT_TRUE(says(QStringLiteral("cell 66, 66: "))) << readout().toStdString();
        const QPointF overHelp = view->mapFromGlobal(helpBoxOf(*window)->mapToGlobal(QPointF(60, 80)));
        xPointer(view, overHelp);
        EXPECT_TRUE(waitFor([&] { return readout().isEmpty(); })) << readout().toStdString();
        // A click pins the peak; the next, elsewhere, lets it go and the read-out
        // follows the pointer again.
        xPointer(view, *peak, true);
        EXPECT_TRUE(says(QStringLiteral("pinned cell 66, 66: "))) << readout().toStdString();
        const QPointF aside = *peak + QPointF(-60, 30);
        xPointer(view, aside, true);
        EXPECT_TRUE(waitFor([&] { return !readout().startsWith(QStringLiteral("pinned")); }))
            << readout().toStdString();
        xPointer(view, *peak);
        EXPECT_TRUE(says(QStringLiteral("cell 66, 66: "))) << readout().toStdString();
        // With units set, heights and the nearest point's distance carry them.
        meshscope::SurfaceUnits units;
        units.gridStep = meshscope::parseQuantity("0.5mm");
        units.heightUnit = meshscope::parseQuantity("10um");
        window->setUnits(units);
        EXPECT_TRUE(waitFor([&] {
            return readout().contains(QStringLiteral(" µm drawn, ")) && readout().contains(QStringLiteral(" mm away"));
        })) << readout().toStdString();
        window->setUnits({});
        EXPECT_TRUE(waitFor([&] { return readout().contains(QStringLiteral(" cells away")); }))
            << readout().toStdString();
        xPointer(view, overHelp);
        ASSERT_TRUE(waitFor([&] { return readout().isEmpty(); }));
    }

    struct View {
        const char* name;
        float x, z;
        const char* keys;
    };
    const View views[] = {{"start", 35, 25, ""},
                          {"spun", 70, 150, ""},
                          {"zoomed", 70, 150, "++"},
                          {"orthographic", 50, 300, "p"},
                          {"border", 20, 60, "b"}};
    for (const View& v : views) {
        SCOPED_TRACE(v.name);
        state().rotation[0] = v.x;
        state().rotation[2] = v.z;
        for (const char* key = v.keys; *key; ++key)
            type(*key);
        type('q'); // every key repaints
        ASSERT_TRUE(nextFrame());
        const auto& matrices = window->measure().lastView();
        ASSERT_TRUE(matrices);
        const int w = matrices->viewport[2], h = matrices->viewport[3];
        std::vector<float> depth(std::size_t(w) * std::size_t(h), 1.0f);
        view->glPixelStorei(GL_PACK_ALIGNMENT, 1);
        view->glReadPixels(0, 0, w, h, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        const auto depthAt = [&](int x, int y) { return depth[std::size_t(y) * std::size_t(w) + std::size_t(x)]; };
        const double ratio = view->devicePixelRatioF();
        int surface = 0, exact = 0, background = 0;
        for (int py = h / 20; py < h; py += h / 10)
            for (int px = w / 20; px < w; px += w / 12) {
                hover(view, QPointF((px + 0.5) / ratio, (h - py - 0.5) / ratio));
                const auto [column, row] = cellOf(readout());
                const float d = depthAt(px, py);
                if (d >= 1.0f) {
                    if (depthAt(px - 2, py) >= 1 && depthAt(px + 2, py) >= 1 && depthAt(px, py - 2) >= 1
                        && depthAt(px, py + 2) >= 1) {
                        ++background;
                        EXPECT_TRUE(readout().isEmpty()) << px << "," << py << ": " << readout().toStdString();
                    }
                    continue;
                }
                double x = 0, y = 0, z = 0;
                ASSERT_TRUE(view->gluUnProject(px + 0.5, py + 0.5, d, matrices->modelview.data(),
                                               matrices->projection.data(), matrices->viewport.data(), &x, &y, &z));
                if (std::hypot(x - state().drawMinX, y - state().drawMinY, z) < 12)
                    continue; // the axis bars and the sphere are looked through
                ++surface;
                const int gx = std::clamp(int(std::floor(x)), int(state().drawMinX), state().drawMaxX - 1);
                const int gy = std::clamp(int(std::floor(y)), int(state().drawMinY), state().drawMaxY - 1);
                EXPECT_LE(std::abs(column - gx), 1) << px << "," << py << ": " << readout().toStdString();
                EXPECT_LE(std::abs(row - gy), 1) << px << "," << py << ": " << readout().toStdString();
                exact += column == gx && row == gy;
            }
        EXPECT_GE(surface, 12);
        EXPECT_GE(background, 12);
        EXPECT_GE(exact, surface * 9 / 10);
    }

    // Seen from straight above, the peak's cell reads the reference frame's 70
    // unsmoothed; a click pins it.
    state().rotation[0] = 90;
    state().rotation[2] = 0;
    type('q');
    ASSERT_TRUE(nextFrame());
    std::optional<QPointF> peak = peakAt();
    ASSERT_TRUE(peak);

    hover(view, *peak);
    EXPECT_TRUE(readout().startsWith(QStringLiteral("cell 66, 66: "))) << readout().toStdString();
    EXPECT_TRUE(readout().contains(QStringLiteral(" drawn, 70 unsmoothed; nearest point 66, 66 at 70, 0 cells away")))
        << readout().toStdString();
    hover(view, *peak, QEvent::MouseButtonPress, Qt::LeftButton);
    hover(view, *peak, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_TRUE(readout().startsWith(QStringLiteral("pinned cell 66, 66: "))) << readout().toStdString();
    const QPointF elsewhere = *peak + QPointF(-60, 30);
    hover(view, elsewhere); // another cell: the pinned one stays
    EXPECT_TRUE(readout().startsWith(QStringLiteral("pinned cell 66, 66: ")));
    hover(view, elsewhere, QEvent::MouseButtonPress, Qt::LeftButton);
    hover(view, elsewhere, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_TRUE(readout().startsWith(QStringLiteral("cell "))) << readout().toStdString();
    EXPECT_NE(cellOf(readout()), std::make_pair(66, 66));

    // With a difference shown the read-out reads it: the live surface less
    // itself is 0 at the pinned peak.
    hover(view, *peak, QEvent::MouseButtonPress, Qt::LeftButton);
    hover(view, *peak, QEvent::MouseButtonRelease, Qt::LeftButton);
    meshscope::LookBack& look = window->session().lookBack();
    look.setBaseline(state());
    look.setDifferenceShown(true);
    hover(view, elsewhere);
    EXPECT_TRUE(readout().startsWith(QStringLiteral("pinned cell 66, 66: 0 drawn"))) << readout().toStdString();
}

// The colour scale, as the X server shows it: at each tick (and halfway
// between ticks) the colour the mapping gives that height, in colour mode 1
// and, after "c", in mode 2; its ticks are five to ten round heights.
TEST_F(WindowTest, ColorScaleShowsTheMappingsColoursAndFollowsC)
{
    startWithDevice(std::string());
    device.send(referenceFrame);
    ASSERT_TRUE(waitFor([&] { return state().okCount >= 1; }));
    type(' ');
    auto* scale = window->measure().colorScale();
    EXPECT_FALSE(scale->isVisible()); // off at start
    const auto item = [&](QMenu& menu, const QString& text) {
        for (QAction* action : menu.actions())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return menu.actions().constFirst();
    };
    item(*window->viewMenu(), QStringLiteral("Show colour scale"))->trigger();
    ASSERT_TRUE(scale->isVisible());
    // The strip at each tick and between ticks shows the colour that height gets.
    const auto expectStripColours = [&](std::int16_t mode, const std::optional<meshscope::FittedColours>& fit) {
        ASSERT_TRUE(nextFrame());
        ASSERT_TRUE(waitFor([&] { return scale->colorMode() == mode && scale->fittedColours() == fit; }));
        const QImage shown = windowtest::settled([&] { return serverPixels(*window); }); // the strip's own paint
        const double ratio = window->devicePixelRatioF();
        const auto& ticks = scale->ticks();
        ASSERT_GE(ticks.size(), 5u);
        ASSERT_LE(ticks.size(), 10u);
        std::vector<double> heights(ticks.begin(), ticks.end());
        for (std::size_t k = 0; k + 1 < ticks.size(); ++k)
            heights.push_back((ticks[k] + ticks[k + 1]) / 2);
        for (const double height : heights) {
            const QPointF at
                = scale->mapTo(window.get(), QPointF(scale->stripRect().center().x() + 0.5, scale->yFor(height)));
            const QColor got = shown.pixelColor(int(at.x() * ratio), int(at.y() * ratio));
            const auto want = meshscope::scaleColor(height, mode, fit);
            EXPECT_LE(std::abs(got.red() - want[0]) + std::abs(got.green() - want[1]) + std::abs(got.blue() - want[2]),
                      9)
                << height << ": " << got.name().toStdString();
        }
    };
    for (const std::int16_t mode : {1, 2}) {
        SCOPED_TRACE(mode);
        expectStripColours(mode, std::nullopt);
        type('c');
    }

    // With a height unit the tick labels carry it, so on the screen they reach
    // further left from the strip.
    const auto labelsLeft = [&] {
        const QImage shown = windowtest::settled([&] { return serverPixels(*window); });
        const double ratio = window->devicePixelRatioF();
        const QRect strip = scale->stripRect();
        const QPoint from = scale->mapTo(window.get(), QPoint(0, strip.top()));
        const QPoint to = scale->mapTo(window.get(), QPoint(strip.left() - 7, strip.bottom()));
        int left = int(to.x() * ratio);
        for (int y = int(from.y() * ratio); y < int(to.y() * ratio); ++y)
            for (int x = int(from.x() * ratio); x < left; ++x)
                if (qGray(shown.pixel(x, y)) > 160)
                    left = x;
        return int(to.x() * ratio) - left;
    };
    ASSERT_TRUE(nextFrame());
    const int plainWidth = labelsLeft();
    EXPECT_GT(plainWidth, 0);
    meshscope::SurfaceUnits units;
    units.heightUnit = meshscope::parseQuantity("10um");
    window->setUnits(units);
    ASSERT_TRUE(nextFrame());
    EXPECT_GT(labelsLeft(), plainWidth + 8 * window->devicePixelRatioF());
    window->setUnits({});
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(labelsLeft(), plainWidth);

    // Fitted: viridis over the drawn heights, dark purple on the low corners
    // and yellow on the peak, on the surface as on the strip.
    item(*window->viewMenu(), QStringLiteral("Fit colours to the surface"))->trigger();
    const auto drawn = meshscope::drawnHeightRange(state());
    ASSERT_TRUE(drawn);
    expectStripColours(3, meshscope::FittedColours{meshscope::FittedMap::Perceptual, drawn->low, drawn->high});
    const QImage fitted = windowtest::settled([&] { return serverPixels(*window); });
    const QPointF peak = projectedPoint({65.5f, 65.5f, 69}, fitted.size(), 1, 98);
    const QPointF low = projectedPoint({3, 66, 11}, fitted.size(), 1, 98);
    const QColor atPeak = windowtest::meanColour(fitted, int(peak.x()), int(peak.y()));
    const QColor atLow = windowtest::meanColour(fitted, int(low.x()), int(low.y()));
    EXPECT_GT(std::min(atPeak.red(), atPeak.green()), atPeak.blue() + 60) << atPeak.name().toStdString();
    EXPECT_GT(std::min(atLow.red(), atLow.blue()), atLow.green() + 20) << atLow.name().toStdString();
    EXPECT_LT(qGray(atLow.rgb()), qGray(atPeak.rgb()) - 60);

    // Levelled, the heights are coloured about zero: white there, the strip symmetric.
    QMenu* level = item(*window->viewMenu(), QStringLiteral("Level"))->menu();
    ASSERT_NE(level, nullptr);
    item(*level, QStringLiteral("Zero at the mean"))->trigger();
    ASSERT_TRUE(nextFrame());
    const auto levelled = meshscope::fittedColoursOf(window->session().lookBack().shownState(state()), true);
    ASSERT_TRUE(levelled);
    EXPECT_EQ(levelled->low, -levelled->high);
    expectStripColours(3, levelled);
    EXPECT_EQ(meshscope::scaleColor(0, 3, levelled), (std::array<std::uint8_t, 3>{255, 255, 255}));

    // Off again, the colour mode's colours come back.
    item(*level, QStringLiteral("Zero as measured"))->trigger();
    item(*window->viewMenu(), QStringLiteral("Fit colours to the surface"))->trigger();
    expectStripColours(3, std::nullopt);
}

// A stream of distinct frames at 20 a second through a pseudo-terminal: the
// health line says that rate; a refused frame says why; the sender stopped
// for 6 s is a standing problem in the box and on standard error, gone when
// it resumes; the space key's pause is said as a pause, not as a silent line,
// and a line that has brought nothing yet is waiting, not paused.
TEST_F(WindowTest, HealthLineSaysTheRateRefusalsAndAQuietLine)
{
    startWithDevice(std::string());
    StderrCapture errors;
    for (int look = 0; look < 2; ++look) {
        EXPECT_NE(health().find(device.path() + " at 115200: 0.0 frames/s, 0 B/s, waiting for the first frame"),
                  std::string::npos)
            << health();
        QTest::qWait(2 * meshscope::ViewerSession::healthRefreshMs);
    }
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        auto next = std::chrono::steady_clock::now();
        for (int n = 0; !stop; ++n) {
            device.send("<1,1," + std::to_string(5 + n % 90) + ";50,50,1>");
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
        }
    });
    QTest::qWait(3600);
    const std::string during = health();
    stop = true;
    sender.join();
    static const QRegularExpression rate(QStringLiteral(": ([0-9.]+) frames/s, ([0-9.]+) B/s"));
    const auto match = rate.match(QString::fromStdString(during));
    ASSERT_TRUE(match.hasMatch()) << during;
    EXPECT_NEAR(match.captured(1).toDouble(), 20, 2) << during;
    EXPECT_NE(during.find(device.path() + " at 115200: "), std::string::npos) << during;

    device.send("<1,1,5;2,2,40000>");
    EXPECT_TRUE(waitFor([&] { return health().find("1 refused (last: a value out of range)") != std::string::npos; }))
        << health();

    const std::string problem = "no data on " + device.path() + " for 5 s";
    const auto standing = [&] {
        return problemBoxOf(*window)->isVisible()
            && problemBoxOf(*window)->toPlainText().toStdString().find(problem) != std::string::npos;
    };
    EXPECT_FALSE(standing());
    ASSERT_TRUE(waitFor(standing, 10000)) << health();
    EXPECT_EQ(countOf(errors.text(), "meshscope: " + problem), 1) << errors.text();
    device.send("<1,1,5;2,2,6>");
    EXPECT_TRUE(waitFor([&] { return !standing(); }));

    type(' ');
    EXPECT_TRUE(waitFor([&] { return health().find("paused") != std::string::npos; })) << health();
    QTest::qWait(6000);
    EXPECT_FALSE(standing());
    EXPECT_EQ(countOf(errors.text(), "meshscope: " + problem), 1) << errors.text();
}
