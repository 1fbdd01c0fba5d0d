// Module1's array routines and the numbers the scenes are built from.
#include "Module1.h"
#include "PixelImage.h"
#include "ShapesMath.h"
#include "TessPolygon.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(ArrayRoutines, MakeColorReplacesEarlierContents)
{
    std::vector<float> color{9, 9, 9, 9, 9, 9, 9};
    makeColor(color, 0.7f, 0.4f, 0.4f, 1.0f);
    EXPECT_EQ(color, (std::vector<float>{0.7f, 0.4f, 0.4f, 1.0f}));
}

TEST(ArrayRoutines, CopyArrayKeepsBoundsAndElementTypes)
{
    VariantArray src(0, 15);
    for (std::int32_t i = 0; i < 16; ++i)
        src(i) = kJitterOffsets[static_cast<std::size_t>(i)];
    VariantArray dst(3, 4);
    dst(3) = std::int32_t{7};
    copyArray(dst, src);
    EXPECT_EQ(dst.lowerBound(), 0);
    EXPECT_EQ(dst.upperBound(), 15);
    for (std::int32_t i = 0; i < 16; ++i) {
        ASSERT_TRUE(std::holds_alternative<double>(dst(i))) << "element " << i;
        EXPECT_EQ(std::get<double>(dst(i)), kJitterOffsets[static_cast<std::size_t>(i)]);
    }

    VariantArray mixed(-2, 1);
    mixed(-2) = std::int32_t{255};
    mixed(0) = 0.5;
    copyArray(dst, mixed);
    EXPECT_EQ(dst.lowerBound(), -2);
    EXPECT_EQ(dst.upperBound(), 1);
    EXPECT_TRUE(std::holds_alternative<std::int32_t>(dst(-2)));
    EXPECT_TRUE(std::holds_alternative<Empty>(dst(-1)));
    EXPECT_TRUE(std::holds_alternative<double>(dst(0)));
    EXPECT_THROW(dst(2), std::out_of_range);
}

TEST(ArrayRoutines, CopyArrayOfAnUnallocatedSourceFailsAndKeepsTheDestination)
{
    VariantArray dst(0, 1);
    dst(1) = 2.0;
    EXPECT_THROW(copyArray(dst, VariantArray{}), std::out_of_range);
    EXPECT_EQ(dst.number(1), 2.0);
}

TEST(ShapesNumbers, ProjectionAtTheDesignSize)
{
    const std::int32_t w = pixelsFromTwips(5055, 15);
    const std::int32_t h = pixelsFromTwips(4935, 15);
    ASSERT_EQ(w, 337);
    ASSERT_EQ(h, 329);
    const OrthoBounds b = shapesProjection(w, h);
    EXPECT_DOUBLE_EQ(b.left, -2.304711246200608);
    EXPECT_DOUBLE_EQ(b.right, 2.304711246200608);
    EXPECT_EQ(b.bottom, -2.25);
    EXPECT_EQ(b.top, 2.25);
    EXPECT_EQ(b.zNear, -10.0);
    EXPECT_EQ(b.zFar, 10.0);
}

TEST(ShapesNumbers, ProjectionOfSquareAndTallViewports)
{
    const OrthoBounds square = shapesProjection(161, 161);
    EXPECT_EQ(square.left, -2.25);
    EXPECT_EQ(square.right, 2.25);
    EXPECT_EQ(square.bottom, -2.25);
    EXPECT_EQ(square.top, 2.25);

    const OrthoBounds tall = shapesProjection(100, 200);
    EXPECT_EQ(tall.left, -2.25);
    EXPECT_EQ(tall.top, 4.5);
}

TEST(ShapesNumbers, PixelsFromTwipsRoundHalvesToEven)
{
    EXPECT_EQ(pixelsFromTwips(37.5, 15), 2);             // 2.5
    EXPECT_EQ(pixelsFromTwips(52.5, 15), 4);             // 3.5
    EXPECT_EQ(pixelsFromTwips(5055, 1440.0 / 120), 421); // 421.25 at 120 DPI
}

TEST(ShapesNumbers, EmptyViewportIsRefusedInsteadOfDividingByZero)
{
    EXPECT_THROW(shapesProjection(0, 329), std::domain_error);
    EXPECT_THROW(shapesProjection(337, 0), std::domain_error);
    EXPECT_THROW(jitterTranslation(0.1, 0.1, 337, 0), std::domain_error);
}

TEST(ShapesNumbers, FirstPassTranslation)
{
    VariantArray table;
    copyArray(table, jitterValues());
    const Translation t = jitterTranslation(table.number(0), table.number(1), 337, 329);
    EXPECT_NEAR(t.x, -0.0044708635, 1e-10);
    EXPECT_NEAR(t.y, 0.0059543753, 1e-10);
    EXPECT_EQ(table.number(14), 0.164216);
    EXPECT_EQ(table.number(15), -0.054399);
}

TEST(PixelImageValues, KnownPixelsAndTheEmptyLastElement)
{
    const VariantArray image = makePixelImage();
    ASSERT_EQ(image.lowerBound(), 0);
    ASSERT_EQ(image.upperBound(), 160000);
    auto pixel = [&](std::int32_t p) {
        std::array<std::int32_t, 4> rgba{};
        for (std::int32_t c = 0; c < 4; ++c)
            rgba[static_cast<std::size_t>(c)] = std::get<std::int32_t>(image(4 * p + c));
        return rgba;
    };
    // Pixel 0's red comes from N = 282, which wraps to 26.
    EXPECT_EQ(pixel(0), (std::array<std::int32_t, 4>{26, 51, 76, 100}));
    EXPECT_EQ(pixel(1), (std::array<std::int32_t, 4>{145, 165, 184, 201}));
    EXPECT_EQ(pixel(39999), (std::array<std::int32_t, 4>{56, 81, 105, 127}));
    EXPECT_TRUE(std::holds_alternative<Empty>(image(160000)));
    EXPECT_EQ(image.number(160000), 0.0);
}

TEST(PixelImageValues, EveryValueIsAByte)
{
    const std::vector<double> values = makePixelImage().numbers();
    EXPECT_TRUE(std::all_of(values.begin(), values.end(), [](double v) { return v >= 0 && v <= 255; }));
}

TEST(PolygonData, CornerDataRepeatsTheLocationAsColour)
{
    const VariantArray data = cornerData(kPolygonCorners[0]);
    ASSERT_EQ(data.lowerBound(), 0);
    ASSERT_EQ(data.upperBound(), 6);
    const double expected[] = {-0.85, -0.85, 0, -0.85, -0.85, 0};
    for (std::int32_t k = 0; k < 6; ++k)
        EXPECT_EQ(std::get<double>(data(k)), expected[k]) << "element " << k;
    EXPECT_TRUE(std::holds_alternative<Empty>(data(6)));
}

} // namespace
