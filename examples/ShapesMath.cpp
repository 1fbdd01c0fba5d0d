#include "ShapesMath.h"

#include <cmath>
#include <stdexcept>
#include <string>

void requireViewportArea(std::int32_t w, std::int32_t h, const char* what)
{
    if (w <= 0 || h <= 0)
        throw std::domain_error(std::string(what) + " of an empty viewport (" + std::to_string(w) + " x "
                                + std::to_string(h) + " pixels); it stays unpainted");
}

VariantArray jitterValues()
{
    VariantArray values(0, 15);
    for (std::int32_t i = 0; i < 16; ++i)
        values(i) = kJitterOffsets[static_cast<std::size_t>(i)];
    return values;
}

std::int32_t pixelsFromTwips(double twips, double twipsPerPixel)
{
    return static_cast<std::int32_t>(std::nearbyint(twips / twipsPerPixel));
}

OrthoBounds shapesProjection(std::int32_t w, std::int32_t h)
{
    requireViewportArea(w, h, "cannot set the projection");
    const double wd = w, hd = h;
    if (w > h)
        return {-2.25 * wd / hd, 2.25 * wd / hd, -2.25, 2.25, -10.0, 10.0};
    return {-2.25, 2.25, -2.25 * hd / wd, 2.25 * hd / wd, -10.0, 10.0};
}

Translation jitterTranslation(double jx, double jy, std::int32_t viewportWidth, std::int32_t viewportHeight)
{
    requireViewportArea(viewportWidth, viewportHeight, "cannot jitter the passes");
    return {jx * 4.5 / viewportWidth, jy * 4.5 / viewportHeight};
}
