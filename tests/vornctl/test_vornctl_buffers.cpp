// Data buffers and the accumulation arithmetic, without a display.

#include "AccumBuffer.h"
#include "DataBuffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

TEST(DataBuffers, IntegerElementsRoundHalfToEvenAndWrap)
{
    const std::vector<double> values{255, 145, 127, -129, 2.5, 3.5, -0.5, 512, std::nan("")};
    const DataBuffer bytes(GL_BYTE, values);
    const std::vector<double> expected{-1, -111, 127, 127, 2, 4, 0, 0, 0};
    ASSERT_EQ(bytes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(bytes.at(i), expected[i]) << "element " << i;
    EXPECT_EQ(static_cast<const signed char*>(bytes.data())[0], -1);

    const DataBuffer unsignedShorts(GL_UNSIGNED_SHORT, std::vector<double>{-1, 65536.4});
    EXPECT_EQ(unsignedShorts.at(0), 65535);
    EXPECT_EQ(unsignedShorts.at(1), 0);
}

TEST(DataBuffers, DoublesAreKeptAsGiven)
{
    const std::vector<double> values{-0.85, 0.75, 1e300, std::numeric_limits<double>::infinity()};
    const DataBuffer doubles(GL_DOUBLE, values);
    EXPECT_EQ(doubles.byteSize(), 4 * sizeof(double));
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(static_cast<const double*>(doubles.data())[i], values[i]);
}

TEST(DataBuffers, UnknownElementTypeIsRefusedWithAReason)
{
    try {
        DataBuffer buffer(GL_RGBA, std::vector<double>{1});
        FAIL() << "no error for an unknown type";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("unsupported element type"), std::string::npos);
    }
}

TEST(DataBuffers, ReadReturnsStoredValuesFromAnyElementOfALiveBuffer)
{
    auto buffer = std::make_shared<DataBuffer>(GL_DOUBLE, std::vector<double>{1.5, -2, 3, 4, 5, 6, 7});
    const auto* first = static_cast<const double*>(buffer->data());

    std::array<double, 6> values{};
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, first, values), 6);
    EXPECT_EQ(values[0], 1.5);
    EXPECT_EQ(values[5], 6);

    // From the fifth element only three remain; the rest of `values` is left alone.
    values.fill(-9);
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, first + 4, values), 3);
    EXPECT_EQ(values[0], 5);
    EXPECT_EQ(values[2], 7);
    EXPECT_EQ(values[3], -9);

    auto bytes = std::make_shared<DataBuffer>(GL_BYTE, std::vector<double>{1, 200, 3});
    std::array<double, 2> pair{};
    EXPECT_EQ(DataBuffer::read(GL_BYTE, static_cast<const char*>(bytes->data()) + 1, pair), 2);
    EXPECT_EQ(pair[0], -56);
}

TEST(DataBuffers, ReadRefusesMemoryThatIsNotAnElementOfALiveBuffer)
{
    std::array<double, 3> values{9, 9, 9};
    const std::array<double, 3> foreign{1, 2, 3};
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, foreign.data(), values), 0);
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, nullptr, values), 0);

    auto buffer = std::make_shared<DataBuffer>(GL_DOUBLE, std::vector<double>{1, 2, 3});
    const auto* start = static_cast<const char*>(buffer->data());
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, start + 3, values), 0);                  // inside an element
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, start + 3 * sizeof(double), values), 0); // one past the end
    EXPECT_EQ(DataBuffer::read(GL_FLOAT, start, values), 0);                       // other element type

    buffer.reset(); // freed with its last reference
    EXPECT_EQ(DataBuffer::read(GL_DOUBLE, start, values), 0);
    EXPECT_EQ(values, (std::array<double, 3>{9, 9, 9}));
}

TEST(AccumArithmetic, OperationsFollowGlAndStayInTheirArea)
{
    AccumBuffer accum;
    accum.resize(2, 1);
    const PixelRect all{0, 0, 2, 1};
    const std::vector<float> white(8, 1.0f), grey(8, 0.5f);

    accum.setClearValue(0.25f, 2, -3, 0); // clamped to [-1, 1]
    accum.clear(all);
    EXPECT_EQ(accum.clearValue()[1], 1.0f);
    EXPECT_EQ(accum.returned(all, 1)[0], 0.25f);
    EXPECT_EQ(accum.returned(all, 1)[2], 0.0f); // negative returns clamp to 0

    accum.load(all, white.data(), 0.5f);
    accum.accumulate(all, grey.data(), 0.5f); // 0.75
    accum.multiply(all, 2);                   // 1.5
    accum.add(all, -1);                       // 0.5
    EXPECT_FLOAT_EQ(accum.returned(all, 1)[3], 0.5f);
    EXPECT_FLOAT_EQ(accum.returned(all, 4)[3], 1.0f); // clamped

    const PixelRect right{1, 0, 1, 1};
    accum.add(right, 0.25f);
    const auto both = accum.returned(all, 1);
    EXPECT_FLOAT_EQ(both[0], 0.5f);
    EXPECT_FLOAT_EQ(both[4], 0.75f);
    EXPECT_TRUE(accum.clip({-5, -5, 3, 3}).empty());
    EXPECT_EQ(accum.clip({1, 0, 10, 10}).width, 1);
}
