// VornCtl1: four lit solid shapes, antialiased by eight jittered passes summed
// in the accumulation buffer.
#include "Form1.h"
#include "Module1.h"
#include "ShapesMath.h"

void Form1::VornCtl1_Initialization()
{
    VornCtl& ctl = *VornCtl1;
    copyArray(jitterTable, jitterValues());

    const std::int32_t w = pixelsFromTwips(ctl.Width(), twipsPerPixelX());
    const std::int32_t h = pixelsFromTwips(ctl.Height(), twipsPerPixelY());
    ctl.glViewport(0, 0, w, h);
    ctl.glMatrixMode(GL_PROJECTION);
    ctl.glLoadIdentity();
    const OrthoBounds b = shapesProjection(w, h);
    ctl.glOrtho(b.left, b.right, b.bottom, b.top, b.zNear, b.zFar);
    ctl.glMatrixMode(GL_MODELVIEW);

    std::vector<float> ambient, specular, lightPosition, modelAmbient;
    makeColor(ambient, 1, 1, 1, 1);
    makeColor(specular, 1, 1, 1, 1);
    makeColor(lightPosition, 0, 0, 10, 1);
    makeColor(modelAmbient, 0.2f, 0.2f, 0.2f, 1);
    ctl.glMaterialfv(GL_FRONT, GL_AMBIENT, ambient.data());
    ctl.glMaterialfv(GL_FRONT, GL_SPECULAR, specular.data());
    ctl.glMaterialf(GL_FRONT, GL_SHININESS, 50);
    ctl.glLightfv(GL_LIGHT0, GL_POSITION, lightPosition.data());
    ctl.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient.data());

    ctl.glEnable(GL_LIGHTING);
    ctl.glEnable(GL_LIGHT0);
    ctl.glDepthFunc(GL_LESS);
    ctl.glEnable(GL_DEPTH_TEST);
    ctl.glShadeModel(GL_FLAT);
    ctl.glClearColor(0, 0, 0, 0);
    ctl.glClearAccum(0, 0, 0, 0);
}

void Form1::VornCtl1_Paint()
{
    VornCtl& ctl = *VornCtl1;
    passCount = kPassCount;
    ctl.glGetIntegerv(GL_VIEWPORT, viewportBox.data());
    // Refuse an empty viewport before drawing anything, so no half frame is left.
    requireViewportArea(viewportBox[2], viewportBox[3], "cannot draw the passes");
    ctl.glClear(GL_ACCUM_BUFFER_BIT);

    const std::int32_t last = passCount - 1;
    for (passIndex = 0; passIndex <= last; ++passIndex) {
        ctl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ctl.glPushMatrix();
        const Translation t = jitterTranslation(jitterTable.number(2 * passIndex),
                                                jitterTable.number(2 * passIndex + 1), viewportBox[2], viewportBox[3]);
        ctl.glTranslatef(static_cast<GLfloat>(t.x), static_cast<GLfloat>(t.y), 0);
        drawShapes(VornCtl1);
        ctl.glGetError();
        ctl.glPopMatrix();
        ctl.glAccum(GL_ACCUM, 1.0f / static_cast<GLfloat>(passCount));
    }
    ctl.glAccum(GL_RETURN, 1.0f);
    ctl.PresentFrame();
}

void Form1::drawShapes(VornCtl* viewport)
{
    VornCtl& ctl = *viewport;
    std::vector<float> torusDiffuse, cubeDiffuse, sphereDiffuse, octahedronDiffuse;
    makeColor(torusDiffuse, 0.7f, 0.7f, 0, 1);
    makeColor(cubeDiffuse, 0, 0.7f, 0.7f, 1);
    makeColor(sphereDiffuse, 0.7f, 0, 0.7f, 1);
    makeColor(octahedronDiffuse, 0.7f, 0.4f, 0.4f, 1);

    ctl.glPushMatrix();
    ctl.glRotatef(30, 1, 0, 0);

    ctl.glPushMatrix();
    ctl.glTranslatef(-0.8f, 0.35f, 0);
    ctl.glRotatef(100, 1, 0, 0);
    ctl.glMaterialfv(GL_FRONT, GL_DIFFUSE, torusDiffuse.data());
    ctl.glutSolidTorus(0.275, 0.85, 8, 16);
    ctl.glPopMatrix();

    ctl.glPushMatrix();
    ctl.glTranslatef(-0.75f, -0.5f, 0);
    ctl.glRotatef(45, 0, 0, 1);
    ctl.glRotatef(45, 1, 0, 0);
    ctl.glMaterialfv(GL_FRONT, GL_DIFFUSE, cubeDiffuse.data());
    ctl.glutSolidCube(1.5);
    ctl.glPopMatrix();

    ctl.glPushMatrix();
    ctl.glTranslatef(0.75f, 0.6f, 0);
    ctl.glRotatef(30, 1, 0, 0);
    ctl.glMaterialfv(GL_FRONT, GL_DIFFUSE, sphereDiffuse.data());
    ctl.glutSolidSphere(1.0, 16, 16);
    ctl.glPopMatrix();

    ctl.glPushMatrix();
    ctl.glTranslatef(0.7f, -0.9f, 0.25f);
    ctl.glMaterialfv(GL_FRONT, GL_DIFFUSE, octahedronDiffuse.data());
    ctl.glutSolidOctahedron();
    ctl.glPopMatrix();

    ctl.glPopMatrix();
}
