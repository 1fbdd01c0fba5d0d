#include "AccumBuffer.h"

#include <algorithm>

void AccumBuffer::resize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    values_.assign(static_cast<std::size_t>(width_) * height_ * 4, 0.0f);
}

PixelRect AccumBuffer::clip(PixelRect area) const
{
    const int left = std::max(area.x, 0);
    const int bottom = std::max(area.y, 0);
    const int right = std::min(area.x + area.width, width_);
    const int top = std::min(area.y + area.height, height_);
    return {left, bottom, std::max(right - left, 0), std::max(top - bottom, 0)};
}

void AccumBuffer::setClearValue(float red, float green, float blue, float alpha)
{
    // GL clamps the accumulation clear value to [-1, 1].
    auto clamp = [](float v) { return std::clamp(v, -1.0f, 1.0f); };
    clearValue_ = {clamp(red), clamp(green), clamp(blue), clamp(alpha)};
}

// Calls fn(accumulatorChannel, areaIndex) for each channel of each pixel in area.
template <typename Fn>
void AccumBuffer::forEach(PixelRect area, Fn&& fn)
{
    area = clip(area);
    for (int row = 0; row < area.height; ++row) {
        float* line = values_.data() + (static_cast<std::size_t>(area.y + row) * width_ + area.x) * 4;
        const std::size_t areaLine = static_cast<std::size_t>(row) * area.width * 4;
        for (int i = 0; i < area.width * 4; ++i)
            fn(line[i], areaLine + i);
    }
}

void AccumBuffer::clear(PixelRect area)
{
    forEach(area, [&](float& acc, std::size_t i) { acc = clearValue_[i % 4]; });
}

void AccumBuffer::accumulate(PixelRect area, const float* colours, float value)
{
    forEach(area, [&](float& acc, std::size_t i) { acc += value * colours[i]; });
}

void AccumBuffer::load(PixelRect area, const float* colours, float value)
{
    forEach(area, [&](float& acc, std::size_t i) { acc = value * colours[i]; });
}

void AccumBuffer::add(PixelRect area, float value)
{
    forEach(area, [&](float& acc, std::size_t) { acc += value; });
}

void AccumBuffer::multiply(PixelRect area, float value)
{
    forEach(area, [&](float& acc, std::size_t) { acc *= value; });
}

std::vector<float> AccumBuffer::returned(PixelRect area, float value) const
{
    const PixelRect inside = clip(area);
    std::vector<float> out(static_cast<std::size_t>(inside.width) * inside.height * 4);
    for (int row = 0; row < inside.height; ++row) {
        const float* line = values_.data() + (static_cast<std::size_t>(inside.y + row) * width_ + inside.x) * 4;
        float* target = out.data() + static_cast<std::size_t>(row) * inside.width * 4;
        for (int i = 0; i < inside.width * 4; ++i)
            target[i] = std::clamp(value * line[i], 0.0f, 1.0f);
    }
    return out;
}
