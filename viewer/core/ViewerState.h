// The state of the meshscope window: every value its routines share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ColorMap.h"

namespace meshscope {

// A 16-bit flag: 0 is false, -1 is true; toggled by bitwise negation.
using Flag = std::int16_t;
constexpr Flag kFalse = 0;
constexpr Flag kTrue = -1;

constexpr int kGridSize = 201; // indexes 0..200 in both directions
constexpr int kMaxPoints = 21; // a frame holds at most 21 points

// A height grid addressed grid[x][y], x the column and y the row.
using HeightGrid = std::array<std::array<float, kGridSize>, kGridSize>;
using Rgba = std::array<float, 4>;

// The data file the window reads at load and on "f" unless told another.
extern const char* const kDataFileName;

// The points of the frame that last filled the grids, and the grid revision
// they were interpolated into (see ViewerState::gridRevision).
struct InterpolatedFrame {
    bool valid = false;
    std::int16_t lastPoint = 0;
    std::array<std::int16_t, kMaxPoints> ptX{};
    std::array<std::int16_t, kMaxPoints> ptY{};
    std::array<std::int16_t, kMaxPoints> ptZ{};
    std::uint64_t gridRevision = 0;
};

struct ViewerState {
    std::array<float, 4> rotation{}; // degrees about x, y, z; [3] is the idle slot
    std::int16_t animAxis = 0;
    std::int16_t animStep = 0;
    std::int32_t interpCount = 0;
    std::int32_t okCount = 0;

    Rgba matSpecular{};
    Rgba matDiffuse{};
    Rgba matAmbient{};
    float shininess = 0;
    Rgba lightAmbient{};
    Rgba lightDiffuse{};
    Rgba lightSpecular{};
    Rgba lightPosition{};

    HeightGrid rawHeights{};
    HeightGrid heights{};
    std::int16_t smoothLevel = 0;
    std::int16_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    std::int16_t drawMinX = 0, drawMaxX = 0, drawMinY = 0, drawMaxY = 0;

    double viewLeft = 0;
    double viewRight = 0;
    Flag orthographic = kFalse;
    double zoom = 0;
    Flag borderOn = kFalse;
    std::int16_t colorMode = 0;
    // Set: the heights take these fitted colours instead of colorMode's.
    std::optional<FittedColours> fittedColours;
    // Set while a difference or a levelled surface is shown: the sample
    // marks' heights on that surface, in place of the points' own.
    std::optional<std::array<float, kMaxPoints>> markHeights;

    std::string dataFile = kDataFileName;
    std::string rxBuffer;
    // Stream positions: of rxBuffer's first character, and just past the ">"
    // of the last frame taken, so a take of the same bytes is told from a
    // frame that new bytes brought.
    std::uint64_t rxOffset = 0;
    std::uint64_t takenUpTo = 0;
    std::int16_t lastPoint = 0;
    std::array<std::int16_t, kMaxPoints> ptX{};
    std::array<std::int16_t, kMaxPoints> ptY{};
    std::array<std::int16_t, kMaxPoints> ptZ{};

    // Change counters. Every routine that changes what the scene set-up reads
    // bumps setupRevision; every one that changes what the paint reads besides
    // bumps pictureRevision. Equal counters (and an equal viewport) mean an
    // identical picture, so the window compares integers, not the state.
    std::uint64_t setupRevision = 0;
    std::uint64_t pictureRevision = 0;
    // Bumped whenever the grids, the data extent or the smoothing width change
    // by anything but a repeat of the last interpolation.
    std::uint64_t gridRevision = 0;
    InterpolatedFrame interpolated;

    // Accepted frames that new bytes brought, not re-takes of the same bytes;
    // never reset, so a change means a new frame arrived.
    std::uint64_t newFrameCount = 0;
};

// Marks a change of the set-up's inputs (zoom, projection, shininess, colours,
// drawn columns).
inline void markSetupChanged(ViewerState& state)
{
    ++state.setupRevision;
}
// Marks a change of the paint's inputs (angles, border, colours, heights, rows).
inline void markPictureChanged(ViewerState& state)
{
    ++state.pictureRevision;
}

// Sets the start values the window's load gives the state (zoom, smoothing,
// colour mode, materials, light, rotation, animation) and zeroes the counters.
void applyStartValues(ViewerState& state);

// The fixed help text of the commands box, lines ended by CR LF.
extern const char* const kCommandsHelpText;

} // namespace meshscope
