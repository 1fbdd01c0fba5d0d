// VornCtl4: the yellow "Vorn-Control" banner on olive, drawn with the
// viewport's own text members.
#include "Form1.h"

void Form1::VornCtl4_Initialization()
{
    VornCtl4->SetTextFont(QStringLiteral("Times New Roman"), 36, 0);
    VornCtl4->glClearColor(0.5f, 0.5f, 0, 0);
    VornCtl4->glClear(GL_COLOR_BUFFER_BIT);
}

void Form1::VornCtl4_Paint()
{
    VornCtl4->glColor3f(1, 1, 0);
    VornCtl4->DrawTextAt(-0.4, -0.6, QStringLiteral("Vorn-Control"));
    VornCtl4->glFlush();
    VornCtl4->PresentFrame();
}
