// The examples window on a real X display: its layout, and its four scenes as
// a person sees them in one grab of the window.
#include "WindowFixture.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct Rgb {
    int r, g, b;
};

Rgb at(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

bool near(Rgb c, Rgb want, int tolerance)
{
    return std::abs(c.r - want.r) <= tolerance && std::abs(c.g - want.g) <= tolerance
        && std::abs(c.b - want.b) <= tolerance;
}

std::string show(Rgb c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

std::vector<QPoint> corners(const QImage& image)
{
    const int r = image.width() - 2, b = image.height() - 2;
    return {{1, 1}, {r, 1}, {1, b}, {r, b}};
}

template <class Pred>
int count(const QImage& image, QRect area, Pred pred)
{
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += pred(at(image, x, y)) ? 1 : 0;
    return n;
}

class ExamplesWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        form = showForm().release();
        if (form)
            picture = grabScreen(*form);
    }
    static void TearDownTestSuite()
    {
        delete form;
        form = nullptr;
    }
    void SetUp() override { ASSERT_NE(form, nullptr) << "the window never showed four frames"; }

    static Form1* form;
    static QImage picture;
};

Form1* ExamplesWindow::form = nullptr;
QImage ExamplesWindow::picture;

TEST_F(ExamplesWindow, LayoutFollowsTheDesignInTwips)
{
    // Twips per framebuffer pixel; the window keeps its design size on screen.
    const double tx = form->twipsPerPixelX();
    const double ty = form->twipsPerPixelY();
    const double ratio = form->devicePixelRatio();
    EXPECT_DOUBLE_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    EXPECT_DOUBLE_EQ(tx * ratio, 15);
    EXPECT_EQ(form->windowTitle(), "Vorn - Examples");
    EXPECT_EQ(form->width(), 562);
    EXPECT_EQ(form->height(), 456);
    EXPECT_NEAR(form->VornCtl1->Left(), 3120, tx);
    EXPECT_NEAR(form->VornCtl1->Width(), 5055, tx);
    EXPECT_NEAR(form->VornCtl2->Top(), 4320, ty);
    EXPECT_NEAR(form->VornCtl4->Height(), 615, ty);

    for (QLabel* label : {form->Label1, form->Label2, form->Label3}) {
        EXPECT_EQ(label->font().family(), "Arial");
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 14.25);
        EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    }
    EXPECT_EQ(form->Label1->text(), "the red book Accanti example");
    EXPECT_EQ(form->Label2->text(), "some bit stuff");
    EXPECT_EQ(form->Label3->text(), "Tesselation");
}

TEST_F(ExamplesWindow, BackgroundIsDarkBlueBetweenTheViewports)
{
    // Left of the big viewport, between the two small ones and the labels.
    const QPoint gap
        = onPicture(picture,
                    QRect(form->VornCtl3->geometry().right() + 10, form->VornCtl1->geometry().bottom() - 5, 1, 1))
              .topLeft();
    EXPECT_TRUE(near(at(picture, gap.x(), gap.y()), {1, 0, 66}, 2)) << show(at(picture, gap.x(), gap.y()));
}

TEST_F(ExamplesWindow, BannerShowsYellowTextOnOlive)
{
    const QImage banner = part(picture, *form->VornCtl4);
    for (QPoint c : corners(banner))
        EXPECT_TRUE(near(at(banner, c.x(), c.y()), {128, 128, 0}, 2)) << show(at(banner, c.x(), c.y()));

    auto yellow = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 90; };
    int left = banner.width(), highest = banner.height(), lowest = -1;
    for (int y = 0; y < banner.height(); ++y)
        for (int x = 0; x < banner.width(); ++x)
            if (yellow(at(banner, x, y))) {
                left = std::min(left, x);
                highest = std::min(highest, y);
                lowest = std::max(lowest, y);
            }
    ASSERT_GE(lowest, 0) << "no yellow text in the banner";
    // The text starts at 30 % of the width (plus the first glyph's side bearing)
    // and stands on a baseline 20 % above the bottom ("Vorn-Control" has no descenders).
    EXPECT_NEAR(double(left) / banner.width(), 0.30, 0.03);
    const double baselineAboveBottom = double(banner.height() - 1 - lowest) / banner.height();
    EXPECT_NEAR(baselineAboveBottom, 0.20, 0.06);
    // 36 points at 96 DPI times the device pixel ratio: capitals about 33 pixels.
    const double capitals = (lowest - highest + 1) / form->devicePixelRatio();
    EXPECT_NEAR(capitals, 33, 4);
}

TEST_F(ExamplesWindow, TessellationIsAColouredPolygonOnDarkGreen)
{
    const QImage tess = part(picture, *form->VornCtl3);
    for (QPoint c : corners(tess))
        EXPECT_TRUE(near(at(tess, c.x(), c.y()), {0, 64, 26}, 2)) << show(at(tess, c.x(), c.y()));

    // Inside the polygon (it spans about 7.5 % to 92.5 % of the viewport) the
    // colours follow the corners' own coordinates, so they are many and not green.
    const QRect inside(tess.width() * 15 / 100, tess.height() * 15 / 100, tess.width() * 7 / 10,
                       tess.height() * 7 / 10);
    const int greenInside = count(tess, inside, [](Rgb c) { return near(c, {0, 64, 26}, 4); });
    EXPECT_EQ(greenInside, 0);
    // The first vertex emitted is drawn in the colour set before tessellating
    // (0, 0.5, 1), because each vertex's own colour is issued after it.
    const int skyBlue = count(tess, tess.rect(), [](Rgb c) { return near(c, {0, 128, 255}, 25); });
    EXPECT_GT(skyBlue, 0);
}

TEST_F(ExamplesWindow, PixelImageStartsAtTheLowerLeftCorner)
{
    // A fresh context's raster position is the window origin, so pixel 0 of
    // the image is the viewport's lower left pixel (rows of the grab run top
    // down). Its signed bytes (26, 51, 76) read as 26/127 ... of full scale.
    const QImage image = part(picture, *form->VornCtl2);
    const int bottom = image.height() - 1;
    EXPECT_TRUE(near(at(image, 0, bottom), {52, 102, 153}, 3)) << show(at(image, 0, bottom));
    // Pixel 1 is (145, 165, 184): negative as signed bytes, so black.
    EXPECT_TRUE(near(at(image, 1, bottom), {0, 0, 0}, 1)) << show(at(image, 1, bottom));

    // The 200 x 200 image covers the viewport from that corner, many of its
    // pixels coloured; where the viewport is larger (at device pixel ratios
    // above 1) the rest stays the black of the cleared buffer.
    const int w = std::min(200, image.width()), h = std::min(200, image.height());
    const QRect covered(0, image.height() - h, w, h);
    EXPECT_GT(count(image, covered, [](Rgb c) { return !near(c, {0, 0, 0}, 20); }), w * h / 3);
    const QRect right(w, 0, image.width() - w, image.height());
    const QRect above(0, 0, image.width(), image.height() - h);
    EXPECT_EQ(count(image, right, [](Rgb c) { return !near(c, {0, 0, 0}, 0); }), 0);
    EXPECT_EQ(count(image, above, [](Rgb c) { return !near(c, {0, 0, 0}, 0); }), 0);
}

TEST_F(ExamplesWindow, ShapesAreLitAndAntialiasedOnBlack)
{
    const QImage shapes = part(picture, *form->VornCtl1);
    for (QPoint c : corners(shapes))
        EXPECT_TRUE(near(at(shapes, c.x(), c.y()), {0, 0, 0}, 0)) << show(at(shapes, c.x(), c.y()));

    const int w = shapes.width(), h = shapes.height();
    const QRect topLeft(0, 0, w / 2, h / 2), topRight(w / 2, 0, w - w / 2, h / 2);
    const QRect bottomLeft(0, h / 2, w / 2, h - h / 2), bottomRight(w / 2, h / 2, w - w / 2, h - h / 2);
    const int enough = 300;
    EXPECT_GT(count(shapes, topLeft, [](Rgb c) { return c.r > 90 && c.g > 90 && c.r > 1.4 * c.b && c.g > 1.4 * c.b; }),
              enough)
        << "yellow torus";
    EXPECT_GT(count(shapes, bottomLeft, [](Rgb c) { return c.g > 90 && c.b > 90 && c.g > 1.4 * c.r; }), enough)
        << "cyan cube";
    EXPECT_GT(count(shapes, topRight, [](Rgb c) { return c.r > 90 && c.b > 90 && c.r > 1.4 * c.g; }), enough)
        << "magenta sphere";
    EXPECT_GT(count(shapes, bottomRight, [](Rgb c) { return c.r > 90 && c.r > 1.2 * c.g && std::abs(c.g - c.b) < 12; }),
              enough)
        << "pink octahedron";

    // The four shapes together sit in the middle of the viewport.
    QRect lit;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (std::max({at(shapes, x, y).r, at(shapes, x, y).g, at(shapes, x, y).b}) > 40)
                lit |= QRect(x, y, 1, 1);
    EXPECT_NEAR(double(lit.center().x()) / w, 0.5, 0.06);
    EXPECT_NEAR(double(lit.center().y()) / h, 0.5, 0.06);
    EXPECT_GT(lit.width(), w / 2);

    // Lit surfaces never fall below the global ambient (0.2 of full scale, 51)
    // in any channel, so one pass shows only black and such colours; darker
    // non-black pixels are edges averaged with the background.
    const int blended = count(shapes, shapes.rect(), [](Rgb c) {
        const int lo = std::min({c.r, c.g, c.b}), hi = std::max({c.r, c.g, c.b});
        return hi > 0 && lo < 45;
    });
    EXPECT_GT(blended, 200);
}

TEST_F(ExamplesWindow, ScreenKeepsTheScenesThroughRepaintsExposuresAndResizes)
{
    // The scenes are drawn again at the window system's pace, which a
    // sanitized build on a busy machine stretches well past a fixed wait.
    const auto screenShowsTheScenes = [] { return QTest::qWaitFor([] { return grabScreen(*form) == picture; }, 5000); };
    ASSERT_TRUE(waitForFrames(*form, [] {
        for (VornCtl* viewport : {form->VornCtl1, form->VornCtl2, form->VornCtl3, form->VornCtl4})
            viewport->RequestRedraw();
    }));
    EXPECT_TRUE(grabScreen(*form) == picture) << "after RequestRedraw";

    form->hide();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_TRUE(screenShowsTheScenes()) << "after hide and show";

    // Another window over the scenes and gone again: the scenes are drawn again.
    QWidget cover;
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(Qt::magenta));
    cover.setGeometry(form->geometry());
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    cover.hide();
    EXPECT_TRUE(screenShowsTheScenes()) << "after another window covered it";

    // Made larger and back: the viewports keep their places and their scenes.
    const QSize design = form->size();
    form->resize(design + QSize(40, 30));
    ASSERT_TRUE(QTest::qWaitFor([] { return form->size() != QSize(); }));
    QTest::qWait(200);
    form->resize(design);
    EXPECT_TRUE(screenShowsTheScenes()) << "after a resize and back";
}

} // namespace
