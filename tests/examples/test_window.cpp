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
    const double tx = form->twipsPerPixelX();
    const double ty = form->twipsPerPixelY();
    EXPECT_EQ(form->windowTitle(), "Vorn - Examples");
    EXPECT_EQ(form->width(), std::lround(8430 / tx));
    EXPECT_EQ(form->height(), std::lround(6840 / ty));
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

    EXPECT_FALSE(form->VornCtl1->booleanProperty1());
    EXPECT_TRUE(form->VornCtl2->booleanProperty1());
    EXPECT_TRUE(form->VornCtl3->booleanProperty1());
    EXPECT_TRUE(form->VornCtl4->booleanProperty1());
}

TEST_F(ExamplesWindow, BackgroundIsDarkBlueBetweenTheViewports)
{
    // Left of the big viewport, between the two small ones and the labels.
    const QPoint gap(form->VornCtl3->geometry().right() + 10, form->VornCtl1->geometry().bottom() - 5);
    EXPECT_TRUE(near(at(picture, gap.x(), gap.y()), {1, 0, 66}, 2)) << show(at(picture, gap.x(), gap.y()));
}

TEST_F(ExamplesWindow, BannerShowsYellowTextOnOlive)
{
    const QImage banner = part(picture, *form->VornCtl4);
    for (QPoint c : corners(banner))
        EXPECT_TRUE(near(at(banner, c.x(), c.y()), {128, 128, 0}, 2)) << show(at(banner, c.x(), c.y()));

    auto yellow = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 90; };
    int left = banner.width(), lowest = -1;
    for (int y = 0; y < banner.height(); ++y)
        for (int x = 0; x < banner.width(); ++x)
            if (yellow(at(banner, x, y))) {
                left = std::min(left, x);
                lowest = std::max(lowest, y);
            }
    ASSERT_GE(lowest, 0) << "no yellow text in the banner";
    // The text starts at 30 % of the width (plus the first glyph's side bearing)
    // and stands on a baseline 20 % above the bottom ("Vorn-Control" has no descenders).
    EXPECT_NEAR(double(left) / banner.width(), 0.30, 0.03);
    const double baselineAboveBottom = double(banner.height() - 1 - lowest) / banner.height();
    EXPECT_NEAR(baselineAboveBottom, 0.20, 0.06);
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

TEST_F(ExamplesWindow, PixelImageStartsAtTheViewportCentre)
{
    const QImage image = part(picture, *form->VornCtl2);
    // The raster origin maps to the viewport's centre (give or take the
    // rasteriser's rounding of a half pixel); rows of the grab run top down.
    // Its signed bytes (26, 51, 76) read as 26/127 ... of full scale.
    const Rgb firstColour{52, 102, 153};
    const int cx = image.width() / 2, cy = image.height() - 1 - image.height() / 2;
    QPoint first(-1, -1);
    for (int y = cy - 1; y <= cy + 1; ++y)
        for (int x = cx - 1; x <= cx + 1; ++x)
            if (near(at(image, x, y), firstColour, 3))
                first = {x, y};
    ASSERT_NE(first, QPoint(-1, -1)) << "no (52, 102, 153) pixel at the centre; it shows "
                                     << show(at(image, cx, cy));
    // Pixel 1 is (145, 165, 184): negative as signed bytes, so black.
    EXPECT_TRUE(near(at(image, first.x() + 1, first.y()), {0, 0, 0}, 1))
        << show(at(image, first.x() + 1, first.y()));
    // Nothing is drawn left of or below the image's corner.
    const Rgb background = at(image, 1, image.height() - 2);
    const QRect left(0, 0, first.x(), image.height());
    const QRect below(0, first.y() + 1, image.width(), image.height() - first.y() - 1);
    EXPECT_EQ(count(image, left, [&](Rgb c) { return !near(c, background, 0); }), 0);
    EXPECT_EQ(count(image, below, [&](Rgb c) { return !near(c, background, 0); }), 0);
    // The image itself covers the upper right quarter, many of its pixels coloured.
    const QRect quarter(first.x(), 0, image.width() - first.x(), first.y() + 1);
    EXPECT_GT(count(image, quarter, [&](Rgb c) { return !near(c, background, 20); }),
              quarter.width() * quarter.height() / 3);
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
              enough) << "yellow torus";
    EXPECT_GT(count(shapes, bottomLeft, [](Rgb c) { return c.g > 90 && c.b > 90 && c.g > 1.4 * c.r; }), enough)
        << "cyan cube";
    EXPECT_GT(count(shapes, topRight, [](Rgb c) { return c.r > 90 && c.b > 90 && c.r > 1.4 * c.g; }), enough)
        << "magenta sphere";
    EXPECT_GT(count(shapes, bottomRight,
                    [](Rgb c) { return c.r > 90 && c.r > 1.2 * c.g && std::abs(c.g - c.b) < 12; }),
              enough) << "pink octahedron";

    // Lit surfaces never fall below the global ambient (0.2 of full scale, 51)
    // in any channel, so one pass shows only black and such colours; darker
    // non-black pixels are edges averaged with the background.
    const int blended = count(shapes, shapes.rect(), [](Rgb c) {
        const int lo = std::min({c.r, c.g, c.b}), hi = std::max({c.r, c.g, c.b});
        return hi > 0 && lo < 45;
    });
    EXPECT_GT(blended, 200);
}

TEST_F(ExamplesWindow, RepaintingGivesTheSamePicture)
{
    ASSERT_TRUE(waitForFrames(*form, [] {
        for (VornCtl* viewport : {form->VornCtl1, form->VornCtl2, form->VornCtl3, form->VornCtl4})
            viewport->RequestRedraw();
    }));
    EXPECT_TRUE(grabScreen(*form) == picture) << "after RequestRedraw";

    form->hide();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    QTest::qWait(200);
    EXPECT_TRUE(grabScreen(*form) == picture) << "after hide and show";
}

} // namespace
