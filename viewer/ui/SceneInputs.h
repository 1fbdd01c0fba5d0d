#pragma once

// Everything a frame of the viewer depends on. When none of it changed since
// the last presented frame, a redraw would show the same picture again.

#include "ViewerState.h"

#include <algorithm>
#include <array>
#include <vector>

namespace meshscope {

// Everything the scene set-up reads: the projection, lights and materials it
// leaves in the context follow from these alone.
struct SetupInputs {
    std::int16_t drawMinX = 0, drawMaxX = 0;
    double zoom = 0;
    Flag orthographic = kFalse;
    float shininess = 0;
    std::array<Rgba, 6> colours{};
    double width = 0;
    double height = 0;

    bool operator==(const SetupInputs&) const = default;
};

inline SetupInputs setupInputs(const ViewerState& s, double width, double height)
{
    return {s.drawMinX, s.drawMaxX, s.zoom, s.orthographic, s.shininess,
            {s.lightAmbient, s.lightDiffuse, s.lightSpecular, s.matSpecular, s.matDiffuse, s.matAmbient},
            width, height};
}

// Everything a presented frame shows: the set-up's inputs and what the paint reads.
struct SceneInputs {
    SetupInputs setup;
    std::array<float, 3> rotation{};
    std::int16_t drawMinY = 0, drawMaxY = 0;
    Flag borderOn = kFalse;
    std::int16_t colorMode = 0;
    std::vector<float> drawnHeights; // the heights the cells and walls read

    bool operator==(const SceneInputs&) const = default;
};

inline SceneInputs sceneInputs(const ViewerState& s, int width, int height)
{
    SceneInputs in;
    in.setup = setupInputs(s, width, height);
    in.rotation = {s.rotation[0], s.rotation[1], s.rotation[2]};
    in.drawMinY = s.drawMinY;
    in.drawMaxY = s.drawMaxY;
    in.borderOn = s.borderOn;
    in.colorMode = s.colorMode;
    const int firstX = std::max<int>(s.drawMinX, 0);
    const int lastX = std::min<int>(s.drawMaxX, kGridSize - 1);
    const int firstY = std::max<int>(s.drawMinY, 0);
    const int lastY = std::min<int>(s.drawMaxY, kGridSize - 1);
    for (int x = firstX; x <= lastX; ++x)
        for (int y = firstY; y <= lastY; ++y)
            in.drawnHeights.push_back(s.heights[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]);
    return in;
}

} // namespace meshscope
