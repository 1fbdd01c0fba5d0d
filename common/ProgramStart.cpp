#include "ProgramStart.h"

#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QIcon>
#include <QMargins>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <QSvgRenderer>
#include <QWidget>
#include <QWindow>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace vorn {

namespace {

// The platform the user asked for: -platform on the command line, else QT_QPA_PLATFORM.
QString requestedPlatform(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if ((arg == "-platform" || arg == "--platform") && i + 1 < argc)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return qEnvironmentVariable("QT_QPA_PLATFORM");
}

// Whether any platform of a list ("wayland;xcb") starts with prefix.
bool listsPlatform(const QString& platforms, const QString& prefix)
{
    const QStringList names = platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& name : names)
        if (name.trimmed().section(QLatin1Char(':'), 0, 0).startsWith(prefix))
            return true;
    return false;
}

// Connects as Qt's platform will. libxcb prints a refused authorisation
// itself; that line is kept off standard error, as the caller says it better.
bool xServerAccepts(const char* display)
{
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
        ::dup2(quiet, STDERR_FILENO);
        ::close(quiet);
    }
    // Kept open until the program ends: an X server whose last client leaves
    // resets and refuses connections for a moment, Qt's among them.
    static std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> probe(nullptr, xcb_disconnect);
    probe.reset(xcb_connect(display, nullptr));
    const bool accepted = xcb_connection_has_error(probe.get()) == 0;
    if (savedStderr >= 0) {
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
    }
    return accepted;
}

// Whether OpenGL reaches the display over the network (ssh -X) rather than
// on the machine that shows it.
bool remoteDisplay(const QByteArray& display)
{
    const QByteArray indirect = qgetenv("LIBGL_ALWAYS_INDIRECT");
    if (!indirect.isEmpty() && indirect != "0" && indirect != "false")
        return true;
    const QByteArray host = display.left(display.lastIndexOf(':'));
    return !host.isEmpty() && host != "unix" && !host.startsWith('/');
}

// Catches the X errors of the probe below instead of Xlib's default, which ends the program.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Empty when the display draws OpenGL in a window as the views do (a visual
// for it, a direct context that becomes current), else why not and what to do.
QString openGlProblem(const QByteArray& display)
{
    const QString name = QString::fromLocal8Bit(display);
    const QString remoteAdvice = QStringLiteral("run the program on the machine the display belongs to, or use a "
                                                "remote desktop such as VNC");
    Display* x = XOpenDisplay(display.constData());
    if (!x)
        return {}; // the connection was checked; Qt says what goes wrong now
    const auto previousHandler = XSetErrorHandler(ignoreXError);
    QString problem;
    int errorBase = 0, eventBase = 0;
    const int attributes[] = {GLX_X_RENDERABLE,
                              True,
                              GLX_DRAWABLE_TYPE,
                              GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE,
                              GLX_RGBA_BIT,
                              GLX_DOUBLEBUFFER,
                              True,
                              GLX_RED_SIZE,
                              1,
                              GLX_GREEN_SIZE,
                              1,
                              GLX_BLUE_SIZE,
                              1,
                              GLX_DEPTH_SIZE,
                              1,
                              None};
    int count = 0;
    GLXFBConfig* configs = nullptr;
    GLXContext context = nullptr;
    XVisualInfo* visual = nullptr;
    Window window = 0;
    Colormap colours = 0;
    if (DefaultDepth(x, DefaultScreen(x)) < 15) {
        problem = QStringLiteral("the X display %1 has %2-bit colour, where OpenGL cannot draw (start its X server "
                                 "with 24-bit colour, e.g. Xvfb -screen 0 1280x1024x24)")
                      .arg(name)
                      .arg(DefaultDepth(x, DefaultScreen(x)));
    } else if (!glXQueryExtension(x, &errorBase, &eventBase)) {
        problem = QStringLiteral("the X display %1 offers no OpenGL (its server has no GLX extension; start it with "
                                 "GLX, or run under xvfb-run)")
                      .arg(name);
    } else if (configs = glXChooseFBConfig(x, DefaultScreen(x), attributes, &count); !configs || count == 0) {
        problem = QStringLiteral("the X display %1 has no visual OpenGL can draw in (start its X server with "
                                 "24-bit colour, e.g. Xvfb -screen 0 1280x1024x24)")
                      .arg(name);
    } else if (context = glXCreateNewContext(x, configs[0], GLX_RGBA_TYPE, nullptr, True); !context) {
        problem = remoteDisplay(display)
            ? QStringLiteral("the X display %1 takes no OpenGL from this machine, as over ssh -X (%2)")
                  .arg(name, remoteAdvice)
            : QStringLiteral("cannot create an OpenGL context on the X display %1 (install libgl1-mesa-dri)").arg(name);
    } else if (!glXIsDirect(x, context)) {
        problem = QStringLiteral("the X display %1 gives OpenGL only indirectly, as over ssh -X, and the views "
                                 "cannot draw that way (%2)")
                      .arg(name, remoteAdvice);
    } else if (visual = glXGetVisualFromFBConfig(x, configs[0]); visual) {
        XSetWindowAttributes settings{};
        colours = XCreateColormap(x, RootWindow(x, visual->screen), visual->visual, AllocNone);
        settings.colormap = colours;
        window = XCreateWindow(x, RootWindow(x, visual->screen), 0, 0, 1, 1, 0, visual->depth, InputOutput,
                               visual->visual, CWColormap, &settings);
        if (!glXMakeContextCurrent(x, window, window, context))
            problem = QStringLiteral("an OpenGL context on the X display %1 cannot be made current (install "
                                     "libgl1-mesa-dri, or run under xvfb-run)")
                          .arg(name);
        glXMakeContextCurrent(x, None, None, nullptr);
    }
    if (window)
        XDestroyWindow(x, window);
    if (colours)
        XFreeColormap(x, colours);
    if (visual)
        XFree(visual);
    if (context)
        glXDestroyContext(x, context);
    if (configs)
        XFree(configs);
    XSync(x, False);
    XSetErrorHandler(previousHandler);
    XCloseDisplay(x);
    return problem;
}

// Empty when the X server in DISPLAY accepts a connection, else why not and what to do.
QString xDisplayProblem(bool wayland)
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (wayland)
            return QStringLiteral("this Wayland session has no XWayland, and the OpenGL views need an X display "
                                  "(start XWayland, or run under xvfb-run)");
        return QStringLiteral("no X display (set DISPLAY, or run under xvfb-run)");
    }
    if (xServerAccepts(display.constData()))
        return openGlProblem(display);
    return QStringLiteral("cannot open the X display %1 (start its X server, set DISPLAY to a running one, "
                          "or run under xvfb-run)")
        .arg(QString::fromLocal8Bit(display));
}

void choosePlatform(const char* name, int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", name);
    // A -platform argument would override the variable: make it say the same.
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "-platform" || QByteArray(argv[i]) == "--platform")
            argv[i + 1] = const_cast<char*>(name);
}

} // namespace

QString chooseDisplayPlatform(int argc, char** argv)
{
    const QString requested = requestedPlatform(argc, argv);
    QString problem;
    if (requested.isEmpty() || listsPlatform(requested, QStringLiteral("xcb"))
        || listsPlatform(requested, QStringLiteral("wayland"))) {
        const bool wayland
            = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || listsPlatform(requested, QStringLiteral("wayland"));
        problem = xDisplayProblem(wayland);
    } else {
        problem = QStringLiteral("cannot draw on the %1 platform: the OpenGL views need an X display "
                                 "(unset QT_QPA_PLATFORM, or run under xvfb-run)")
                      .arg(requested);
    }
    choosePlatform(problem.isEmpty() ? "xcb" : "offscreen", argc, argv);
    return problem;
}

void nameProgram(const QString& desktopName, const QString& iconResource)
{
    QGuiApplication::setDesktopFileName(desktopName);
    // Drawn here rather than through an icon plugin, so the icon needs no
    // plugin at run time: the SVG renderer is linked in.
    QSvgRenderer drawing(iconResource);
    if (!drawing.isValid())
        return;
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    QApplication::setWindowIcon(icon);
}

namespace {

template <typename T>
std::unique_ptr<T, decltype(&std::free)> xcbReply(T* reply)
{
    return {reply, &std::free};
}

xcb_connection_t* x11Connection()
{
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Whether the root window carries the property name (at least minLength bytes).
bool rootHas(xcb_connection_t* c, const char* name, int minLength)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto atom
        = xcbReply(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::uint16_t(std::strlen(name)), name), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const auto value
        = xcbReply(xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_ANY, 0, 4), nullptr));
    return value && xcb_get_property_value_length(value.get()) >= minLength;
}

// A window manager runs (it says what it supports) but publishes no free
// area of the screen (_NET_WORKAREA), so Qt takes the whole screen as free.
bool framesWithoutWorkArea(xcb_connection_t* c)
{
    return rootHas(c, "_NET_SUPPORTED", 4) && !rootHas(c, "_NET_WORKAREA", 16);
}

// Room for the frame a window manager adds, in logical pixels: the style's
// title bar and frame width, on every side, since a manager may place the
// frame, not the window, where the window asked to be (weston does).
QMargins frameAllowance(const QWidget& window)
{
    const QStyle* style = window.style();
    const int room = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window)
        + style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    return {room, room, room, room};
}

} // namespace

void placeOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    QRect available = screen->availableGeometry();
    // Without a published work area the whole screen counts as free, and a
    // window fitted to it would leave its frame's title bar and bottom edge
    // off the screen (weston's XWayland); the frame's room is kept free.
    // Without a window manager there is no frame to leave room for.
    if (xcb_connection_t* c = x11Connection(); c && framesWithoutWorkArea(c))
        available = available.marginsRemoved(frameAllowance(window));
    window.resize(window.size().boundedTo(available.size()));
    window.move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(), available).topLeft());
}

namespace {

// Watches the window's resizes: one that comes with a new device pixel ratio
// (the X server keeps the device size) is undone in logical pixels.
class ScaleSizeKeeper : public QObject {
public:
    explicit ScaleSizeKeeper(QWidget& window)
        : QObject(&window), window_(window), size_(window.size()), ratio_(window.devicePixelRatioF())
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Resize)
            follow();
        return false;
    }

private:
    void follow()
    {
        const qreal ratio = window_.devicePixelRatioF();
        if (ratio == ratio_) {
            // The size given to fit a screen is not the size to return to.
            if (window_.size() != fitted_)
                size_ = window_.size();
            return;
        }
        ratio_ = ratio;
        const QScreen* screen = window_.screen();
        fitted_ = screen ? size_.boundedTo(screen->availableGeometry().size()) : size_;
        if (fitted_ != window_.size())
            window_.resize(fitted_);
    }

    QWidget& window_;
    QSize size_;   // in logical pixels, as last given by the program or the user
    QSize fitted_; // the size last given here
    qreal ratio_;
};

} // namespace

void keepSizeAcrossScales(QWidget& window)
{
    new ScaleSizeKeeper(window);
}

void refitNativeChildren(QWidget& window)
{
    for (QWidget* child : window.findChildren<QWidget*>()) {
        QWindow* native = child->windowHandle();
        // A hidden one is placed when it is shown; placing it now could map it.
        if (!native || child->isWindow() || !child->isVisible() || child->size().isEmpty())
            continue;
        const QRect place(child->mapTo(child->nativeParentWidget(), QPoint(0, 0)), child->size());
        if (native->geometry() != place)
            native->setGeometry(place);
    }
}

} // namespace vorn
