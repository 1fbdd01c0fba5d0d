#pragma once
// A floating-point RGBA accumulation buffer, kept in memory beside the
// framebuffer. Pure arithmetic: the control reads colour pixels in and writes
// returned pixels out. Rows run bottom to top, as GL reads them.

#include <array>
#include <vector>

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

class AccumBuffer {
public:
    // Resizing discards the contents (all zero afterwards).
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // The part of `area` that lies inside the buffer.
    PixelRect clip(PixelRect area) const;

    void setClearValue(float red, float green, float blue, float alpha);
    const std::array<float, 4>& clearValue() const { return clearValue_; }

    // Each operation acts on `area` only; `colours` holds area.width * area.height
    // RGBA values read from the colour buffer, rows bottom to top.
    void clear(PixelRect area);
    void accumulate(PixelRect area, const float* colours, float value); // += value * colour
    void load(PixelRect area, const float* colours, float value);       // = value * colour
    void add(PixelRect area, float value);                              // += value
    void multiply(PixelRect area, float value);                         // *= value
    // value * accumulator, clamped to [0, 1], in the layout of `colours` above.
    std::vector<float> returned(PixelRect area, float value) const;

private:
    template <typename Fn>
    void forEach(PixelRect area, Fn&& fn);

    int width_ = 0;
    int height_ = 0;
    std::vector<float> values_;
    std::array<float, 4> clearValue_{0, 0, 0, 0};
};
