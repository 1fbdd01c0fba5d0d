// VornCtl3: one four-cornered polygon, fed to the GLU tessellator and drawn by
// the program's own begin, vertex and end callbacks.
#include "Form1.h"
#include "Module1.h"
#include "TessCallbacks.h"
#include "TessPolygon.h"

void Form1::VornCtl3_Initialization()
{
    VornCtl3->glClearColor(0.0f, 0.25f, 0.1f, 0);
    VornCtl3->glClear(GL_COLOR_BUFFER_BIT);
}

void Form1::VornCtl3_Paint()
{
    VornCtl& ctl = *VornCtl3;
    ctl.glColor3f(0, 0.5f, 1);
    GLUtesselator* tessellator = ctl.gluNewTess();
    ctl.gluTessCallback(tessellator, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&onTessBegin));
    ctl.gluTessCallback(tessellator, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(&onTessVertex));
    ctl.gluTessCallback(tessellator, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&onTessEnd));
    ctl.gluTessBeginPolygon(tessellator, nullptr);
    ctl.gluTessBeginContour(tessellator);

    // The tessellator hands the vertex data back only inside gluTessEndPolygon,
    // so every corner's location and buffer lives until the handler ends.
    std::array<std::array<double, 3>, kPolygonCorners.size()> locations{};
    std::array<DataBufferRef, kPolygonCorners.size()> buffers;
    for (std::size_t i = 0; i < kPolygonCorners.size(); ++i) {
        const auto& corner = kPolygonCorners[i];
        makeVertex(locations[i], corner[0], corner[1], corner[2]);
        const std::vector<double> data = cornerData(locations[i]).numbers();
        buffers[i] = ctl.CreateDataBuffer(GL_DOUBLE, data);
        ctl.gluTessVertex(tessellator, locations[i].data(), buffers[i]);
    }

    ctl.gluTessEndContour(tessellator);
    ctl.gluTessEndPolygon(tessellator);
    ctl.gluDeleteTess(tessellator);
    ctl.glFlush();
    ctl.PresentFrame();
}
