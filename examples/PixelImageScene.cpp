// VornCtl2: the generated 200 x 200 image, drawn at the context's raster position.
#include "Form1.h"
#include "PixelImage.h"

#include <stdexcept>

void Form1::VornCtl2_Initialization()
{
    const std::vector<double> values = makePixelImage().numbers();
    DataBufferRef buffer = VornCtl2->CreateDataBuffer(GL_BYTE, values);
    if (!buffer)
        throw std::runtime_error("the viewport refused the 200 x 200 image buffer");
    pixelBuffer = std::move(buffer);
}

void Form1::VornCtl2_Paint()
{
    VornCtl2->glDrawPixels(kImageSide, kImageSide, GL_RGBA, GL_BYTE, pixelBuffer);
    VornCtl2->PresentFrame();
}
