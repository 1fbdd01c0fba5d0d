// VornCtl2: the generated 200 x 200 image, drawn at the context's raster position.
#include "Form1.h"
#include "PixelImage.h"
#include "ShapesMath.h"

#include <stdexcept>

void Form1::VornCtl2_Initialization()
{
    const std::vector<double> values = makePixelImage().numbers();
    DataBufferRef buffer = VornCtl2->CreateDataBuffer(GL_BYTE, values);
    if (!buffer)
        throw std::runtime_error("the viewport refused the 200 x 200 image buffer");
    pixelBuffer = std::move(buffer);
    // The image's bottom-left corner goes to the origin of the initial
    // coordinates, the viewport's centre. The context starts with a viewport
    // of its own size, not the control's, so set the control's first.
    const std::int32_t w = pixelsFromTwips(VornCtl2->Width(), twipsPerPixelX());
    const std::int32_t h = pixelsFromTwips(VornCtl2->Height(), twipsPerPixelY());
    VornCtl2->glViewport(0, 0, w, h);
    VornCtl2->glRasterPos2d(0, 0);
}

void Form1::VornCtl2_Paint()
{
    VornCtl2->glDrawPixels(kImageSide, kImageSide, GL_RGBA, GL_BYTE, pixelBuffer);
    VornCtl2->PresentFrame();
}
