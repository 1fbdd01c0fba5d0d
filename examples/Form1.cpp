#include "Form1.h"

#include "ProgramStart.h"
#include "ShapesMath.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>

#include <cmath>

namespace {

Form1* defaultForm = nullptr;

// Design layout of the window, in twips from the client area's top left.
struct TwipsRect {
    double left, top, width, height;
};
constexpr double kClientWidth = 8430, kClientHeight = 6840;
constexpr TwipsRect kVornCtl1{3120, 1680, 5055, 4935};
constexpr TwipsRect kVornCtl2{240, 4320, 2415, 2295};
constexpr TwipsRect kVornCtl3{240, 1680, 2415, 2295};
constexpr TwipsRect kVornCtl4{240, 120, 7935, 615};
constexpr TwipsRect kLabel1{4560, 960, 2535, 615};
constexpr TwipsRect kLabel2{120, 3960, 2535, 375};
constexpr TwipsRect kLabel3{240, 1320, 2535, 375};

const QColor kBackground(1, 0, 66);

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    if (!defaultForm)
        defaultForm = this;
    setWindowTitle(QStringLiteral("Vorn - Examples"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    resize(onScreen(kClientWidth, twipsPerPixelX()), onScreen(kClientHeight, twipsPerPixelY()));
    createControls();
    Form_Load();
}

Form1::~Form1()
{
    if (defaultForm == this)
        defaultForm = nullptr;
}

Form1* Form1::defaultInstance()
{
    return defaultForm;
}

// A program's pixels are device pixels, so a higher device pixel ratio means
// fewer twips per pixel and the design keeps its size on screen.
double Form1::twipsPerPixelX() const
{
    return 1440.0 / (screen()->logicalDotsPerInchX() * screen()->devicePixelRatio());
}

double Form1::twipsPerPixelY() const
{
    return 1440.0 / (screen()->logicalDotsPerInchY() * screen()->devicePixelRatio());
}

int Form1::onScreen(double twips, double twipsPerPixel) const
{
    return static_cast<int>(std::nearbyint(pixelsFromTwips(twips, twipsPerPixel) / screen()->devicePixelRatio()));
}

void Form1::createControls()
{
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPointSizeF(14.25);
    // Labels keep the default colours (an opaque face behind dark text), not
    // the window's dark blue; colours set one by one are not inherited.
    const QPalette defaults = QApplication::palette("QLabel");
    QPalette labelPalette = palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
        labelPalette.setColor(role, defaults.color(role));
    auto makeLabel = [&](const QString& text) {
        auto* label = new QLabel(text, this);
        label->setFont(labelFont);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        label->setPalette(labelPalette);
        label->setAutoFillBackground(true);
        return label;
    };
    // Labels first, so that the viewports lie above them where they touch.
    Label3 = makeLabel(QStringLiteral("Tesselation"));
    Label2 = makeLabel(QStringLiteral("some bit stuff"));
    Label1 = makeLabel(QStringLiteral("the red book Accanti example"));

    auto makeViewport = [&](const char* name) {
        auto* viewport = new VornCtl(this);
        viewport->setObjectName(QString::fromLatin1(name));
        return viewport;
    };
    VornCtl4 = makeViewport("VornCtl4");
    VornCtl3 = makeViewport("VornCtl3");
    VornCtl2 = makeViewport("VornCtl2");
    VornCtl1 = makeViewport("VornCtl1");
    placeControls();
    // Tab order of the design: VornCtl2, VornCtl1, then VornCtl3 and VornCtl4.
    setTabOrder(VornCtl2, VornCtl1);
    setTabOrder(VornCtl1, VornCtl3);
    setTabOrder(VornCtl3, VornCtl4);

    connectViewport(VornCtl1, &Form1::VornCtl1_Initialization, &Form1::VornCtl1_Paint, 0);
    connectViewport(VornCtl2, &Form1::VornCtl2_Initialization, &Form1::VornCtl2_Paint, 1);
    connectViewport(VornCtl3, &Form1::VornCtl3_Initialization, &Form1::VornCtl3_Paint, 2);
    connectViewport(VornCtl4, &Form1::VornCtl4_Initialization, &Form1::VornCtl4_Paint, 3);
}

void Form1::placeControls()
{
    const double tx = twipsPerPixelX(), ty = twipsPerPixelY();
    const auto placeLabel = [&](QLabel* label, const TwipsRect& r) {
        label->setGeometry(onScreen(r.left, tx), onScreen(r.top, ty), onScreen(r.width, tx), onScreen(r.height, ty));
    };
    placeLabel(Label3, kLabel3);
    placeLabel(Label2, kLabel2);
    placeLabel(Label1, kLabel1);
    const auto placeViewport = [&](VornCtl* viewport, const TwipsRect& r) {
        viewport->setScaleUnitsPerPixel(tx);
        viewport->setLeft(r.left);
        viewport->setTop(r.top);
        viewport->setWidth(r.width);
        viewport->setHeight(r.height);
    };
    placeViewport(VornCtl4, kVornCtl4);
    placeViewport(VornCtl3, kVornCtl3);
    placeViewport(VornCtl2, kVornCtl2);
    placeViewport(VornCtl1, kVornCtl1);
    // Controls whose place in logical pixels stays the same still need their
    // native windows sized for a new ratio.
    vorn::refitNativeChildren(*this);
}

// Moved to a screen of another scale, the window keeps its size in device
// pixels; the design is placed again in the new screen's twips per pixel.
bool Form1::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ScreenChangeInternal && VornCtl1)
        placeControls();
    return handled;
}

void Form1::connectViewport(VornCtl* viewport, void (Form1::*onInitialization)(), void (Form1::*onPaint)(), int index)
{
    // The viewport reports an error a handler raises and keeps running.
    connect(viewport, &VornCtl::initialization, this, onInitialization);
    connect(viewport, &VornCtl::paint, this, onPaint);
    connect(viewport, &VornCtl::framePresented, this, [this, index] {
        if (presented.all())
            return;
        presented.set(static_cast<std::size_t>(index));
        if (presented.all())
            emit allViewportsPresented();
    });
}

void Form1::Form_Load()
{
    VornCtl1->setBooleanProperty1(false);
    VornCtl2->setBooleanProperty1(true);
    VornCtl3->setBooleanProperty1(true);
    VornCtl4->setBooleanProperty1(true);
}
