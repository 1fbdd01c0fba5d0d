// What the control draws, checked on screen: the accumulation buffer, bitmap
// text, data buffers given to GL and GLU, and the GLUT shapes.

#include "test_vornctl_support.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

// Draws once with `body` and returns what the window shows afterwards.
QImage drawOnce(ViewportHost& host, const std::function<void(VornCtl&)>& body)
{
    host.onPaint = [&](VornCtl& ctl) {
        body(ctl);
        ctl.PresentFrame();
    };
    if (!host.window.isVisible())
        EXPECT_TRUE(host.show());
    else
        EXPECT_TRUE(host.redraw());
    return host.screen();
}

struct InkBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int count = 0;
    int height() const { return bottom - top + 1; }
};

// Where pixels of the given colour are, and how many pixels are neither it nor the background.
InkBox findInk(const QImage& image, QRgb ink, QRgb background, int* strays = nullptr)
{
    InkBox box;
    int others = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (near(pixel, qRed(ink), qGreen(ink), qBlue(ink))) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
                ++box.count;
            } else if (!near(pixel, qRed(background), qGreen(background), qBlue(background))) {
                ++others;
            }
        }
    if (strays)
        *strays = others;
    return box;
}

} // namespace

// ---- accumulation buffer ---------------------------------------------------

TEST(VornCtlAccum, WhiteAndBlackPassesAverageToMidGrey)
{
    ViewportHost host;
    GLint bits[4] = {};
    GLdouble clearValue[4] = {};
    const QImage shown = drawOnce(host, [&](VornCtl& ctl) {
        for (GLenum pname : {GL_ACCUM_RED_BITS, GL_ACCUM_GREEN_BITS, GL_ACCUM_BLUE_BITS, GL_ACCUM_ALPHA_BITS})
            ctl.glGetIntegerv(pname, &bits[pname - GL_ACCUM_RED_BITS]);
        ctl.glClearAccum(0.25f, 0, 0, 1);
        ctl.glGetDoublev(GL_ACCUM_CLEAR_VALUE, clearValue);
        ctl.glClearAccum(0, 0, 0, 0);
        ctl.glClear(GL_ACCUM_BUFFER_BIT);
        fill(ctl, 1, 1, 1);
        ctl.glAccum(GL_ACCUM, 0.5f);
        fill(ctl, 0, 0, 0);
        ctl.glAccum(GL_ACCUM, 0.5f);
        ctl.glAccum(GL_RETURN, 1.0f);
    });
    EXPECT_TRUE(near(shown.pixel(5, 5), 128, 128, 128)) << std::hex << shown.pixel(5, 5);
    EXPECT_TRUE(near(shown.pixel(150, 110), 128, 128, 128));
    for (GLint b : bits)
        EXPECT_GT(b, 0);
    EXPECT_EQ(clearValue[0], 0.25);
    EXPECT_EQ(clearValue[3], 1.0);
}

TEST(VornCtlAccum, LoadMultAndAddActOnTheAccumulatedColour)
{
    ViewportHost host;
    const QImage shown = drawOnce(host, [](VornCtl& ctl) {
        fill(ctl, 0.4f, 0.2f, 0.8f);
        ctl.glAccum(GL_LOAD, 1.0f); // replaces whatever was there
        ctl.glAccum(GL_MULT, 0.5f); // 0.2 0.1 0.4
        ctl.glAccum(GL_ADD, 0.1f);  // 0.3 0.2 0.5
        fill(ctl, 1, 1, 1);         // the colour buffer no longer matters
        ctl.glAccum(GL_RETURN, 1.0f);
    });
    EXPECT_TRUE(near(shown.pixel(80, 60), 77, 51, 128)) << std::hex << shown.pixel(80, 60);

    // RETURN scales and clamps: 2 x (0.3, 0.2, 0.5) = (0.6, 0.4, 1.0)
    const QImage doubled = drawOnce(host, [](VornCtl& ctl) { ctl.glAccum(GL_RETURN, 2.0f); });
    EXPECT_TRUE(near(doubled.pixel(80, 60), 153, 102, 255)) << std::hex << doubled.pixel(80, 60);
}

TEST(VornCtlAccum, OperationsStayInsideTheScissorBoxAndLeaveStateAlone)
{
    ViewportHost host; // 160 x 120
    GLint depthTest = 0, lighting = 0, alignment = 0;
    GLfloat zoom = 0;
    const QImage shown = drawOnce(host, [&](VornCtl& ctl) {
        fill(ctl, 0, 0, 0);
        ctl.glAccum(GL_LOAD, 1.0f);
        fill(ctl, 1, 0, 0);
        ctl.glEnable(GL_SCISSOR_TEST);
        ctl.glScissor(0, 0, 80, 120); // left half
        ctl.glAccum(GL_LOAD, 1.0f);
        ctl.glDisable(GL_SCISSOR_TEST);
        fill(ctl, 0, 0, 1);
        // Program state that a careless return would use or disturb:
        ctl.glEnable(GL_DEPTH_TEST);
        ctl.glEnable(GL_LIGHTING);
        ctl.glPixelZoom(3, 3);
        ctl.glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
        ctl.glAccum(GL_RETURN, 1.0f);
        depthTest = ctl.glIsEnabled(GL_DEPTH_TEST);
        lighting = ctl.glIsEnabled(GL_LIGHTING);
        ctl.glGetFloatv(GL_ZOOM_X, &zoom);
        ctl.glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    });
    EXPECT_TRUE(near(shown.pixel(20, 60), 255, 0, 0));
    EXPECT_TRUE(near(shown.pixel(140, 60), 0, 0, 0));
    EXPECT_EQ(depthTest, GL_TRUE);
    EXPECT_EQ(lighting, GL_TRUE);
    EXPECT_EQ(zoom, 3.0f);
    EXPECT_EQ(alignment, 8);
}

TEST(VornCtlAccum, JitteredPassesSoftenAnEdge)
{
    ViewportHost host(100, 100);
    const QImage shown = drawOnce(host, [](VornCtl& ctl) {
        ctl.glClear(GL_ACCUM_BUFFER_BIT);
        // The edge lands at x = 50.2 and then 50.8 pixels: column 50 is covered in one pass only.
        for (double right : {0.004, 0.016}) {
            fill(ctl, 0, 0, 0);
            ctl.glColor3d(1, 1, 1);
            ctl.glRectd(-1, -1, right, 1);
            ctl.glAccum(GL_ACCUM, 0.5f);
        }
        ctl.glAccum(GL_RETURN, 1.0f);
    });
    EXPECT_TRUE(near(shown.pixel(10, 50), 255, 255, 255));
    EXPECT_TRUE(near(shown.pixel(50, 50), 128, 128, 128)) << std::hex << shown.pixel(50, 50);
    EXPECT_TRUE(near(shown.pixel(90, 50), 0, 0, 0));
}

// ---- a window's context: the control against GL on a plain window ---------

namespace {

struct StateAnswers {
    std::array<GLfloat, 4> rasterPosition{};
    std::array<GLdouble, 16> modelview{}, projection{};
    GLint doubleBuffer = 0, drawBuffer = 0, readBuffer = 0;
    std::array<GLint, 4> clearInt{};
    std::array<GLfloat, 4> clearFloat{};
    std::array<GLdouble, 4> clearDouble{};
    std::array<GLboolean, 4> clearBool{};
    std::array<GLfloat, 4> afterPop{};
    bool bitsAgree = false; // the four query forms give one positive bit count
    bool operator==(const StateAnswers&) const = default;
};

template <class Gl>
StateAnswers askFreshState(Gl& gl)
{
    StateAnswers a;
    gl.glGetFloatv(GL_CURRENT_RASTER_POSITION, a.rasterPosition.data());
    gl.glGetDoublev(GL_MODELVIEW_MATRIX, a.modelview.data());
    gl.glGetDoublev(GL_PROJECTION_MATRIX, a.projection.data());
    gl.glGetIntegerv(GL_DOUBLEBUFFER, &a.doubleBuffer);
    gl.glGetIntegerv(GL_DRAW_BUFFER, &a.drawBuffer);
    gl.glGetIntegerv(GL_READ_BUFFER, &a.readBuffer);
    gl.glClearAccum(0.25f, -0.5f, 2, 1); // 2 is clamped to 1
    gl.glGetIntegerv(GL_ACCUM_CLEAR_VALUE, a.clearInt.data());
    gl.glGetFloatv(GL_ACCUM_CLEAR_VALUE, a.clearFloat.data());
    gl.glGetDoublev(GL_ACCUM_CLEAR_VALUE, a.clearDouble.data());
    gl.glGetBooleanv(GL_ACCUM_CLEAR_VALUE, a.clearBool.data());
    gl.glPushAttrib(GL_ACCUM_BUFFER_BIT);
    gl.glClearAccum(1, 1, 1, 1);
    gl.glPopAttrib();
    gl.glGetFloatv(GL_ACCUM_CLEAR_VALUE, a.afterPop.data());
    a.bitsAgree = true;
    for (GLenum pname : {GL_ACCUM_RED_BITS, GL_ACCUM_GREEN_BITS, GL_ACCUM_BLUE_BITS, GL_ACCUM_ALPHA_BITS}) {
        GLint i = 0;
        GLfloat f = 0;
        GLdouble d = 0;
        GLboolean b = GL_FALSE;
        gl.glGetIntegerv(pname, &i);
        gl.glGetFloatv(pname, &f);
        gl.glGetDoublev(pname, &d);
        gl.glGetBooleanv(pname, &b);
        a.bitsAgree = a.bitsAgree && i > 0 && f == i && d == i && b == GL_TRUE;
    }
    return a;
}

template <class Gl>
void clearTo(Gl& gl, float red, float green, float blue)
{
    gl.glClearColor(red, green, blue, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
}

template <class Gl>
std::array<int, 3> pixelAt(Gl& gl, int x, int y)
{
    GLubyte rgba[4] = {};
    gl.glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

// Compiles and calls lists that load the colour buffer into the accumulation
// buffer, clear it and return it; what the colour buffer holds after each step.
// (A load at 0.5 and a return at 2 give the colour back on any GL.)
template <class Gl>
std::vector<std::array<int, 3>> runAccumulationLists(Gl& gl)
{
    auto compile = [&](GLenum mode) {
        const GLuint list = gl.glGenLists(1);
        gl.glNewList(list, mode);
        gl.glAccum(GL_LOAD, 0.5f);
        clearTo(gl, 0, 0, 0);
        gl.glAccum(GL_RETURN, 2.0f);
        gl.glEndList();
        return list;
    };
    std::vector<std::array<int, 3>> seen;
    clearTo(gl, 0.5f, 0.25f, 1);
    const GLuint compiled = compile(GL_COMPILE);
    seen.push_back(pixelAt(gl, 5, 5)); // compiling alone draws nothing
    clearTo(gl, 0, 1, 0);
    gl.glCallList(compiled);
    seen.push_back(pixelAt(gl, 5, 5)); // loads what the buffer holds now
    clearTo(gl, 0.5f, 0.25f, 1);
    const GLuint executed = compile(GL_COMPILE_AND_EXECUTE);
    clearTo(gl, 1, 0, 0); // dropped if the list ran: shown only if it did not
    seen.push_back(pixelAt(gl, 5, 5));
    clearTo(gl, 0, 0, 1);
    const GLubyte names[] = {static_cast<GLubyte>(executed)};
    gl.glCallLists(1, GL_UNSIGNED_BYTE, names);
    seen.push_back(pixelAt(gl, 5, 5));
    return seen;
}

// What a fresh context answers about GL names, and what a program that
// chooses its own names sees.
struct NameAnswers {
    std::vector<int> isTexture, isList; // names 1 to 4, fresh
    std::array<int, 3> textured{};      // a texture bound under name 1, drawn
    GLuint generatedTexture = 0, generatedList = 0;
    std::array<GLfloat, 4> colourAfterLists{};
    bool operator==(const NameAnswers&) const = default;
};

template <class Gl>
NameAnswers askNames(Gl& gl)
{
    NameAnswers a;
    for (GLuint name = 1; name <= 4; ++name) {
        a.isTexture.push_back(gl.glIsTexture(name));
        a.isList.push_back(gl.glIsList(name));
    }
    // Legal GL: a texture bound under a name the program never generated.
    std::vector<GLubyte> green(8 * 8 * 4);
    for (std::size_t i = 0; i < green.size(); i += 4)
        green[i + 1] = green[i + 3] = 255;
    clearTo(gl, 0, 0, 0);
    gl.glBindTexture(GL_TEXTURE_2D, 1);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, green.data());
    gl.glEnable(GL_TEXTURE_2D);
    gl.glColor3f(1, 1, 1);
    gl.glBegin(GL_QUADS);
    for (auto [x, y] : {std::pair{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}}) {
        gl.glTexCoord2f((x + 1) / 2, (y + 1) / 2);
        gl.glVertex2f(x, y);
    }
    gl.glEnd();
    gl.glDisable(GL_TEXTURE_2D);
    a.textured = pixelAt(gl, 40, 30);
    gl.glGenTextures(1, &a.generatedTexture);
    // A list holding an accumulation call, then a list the program names 2.
    gl.glNewList(1, GL_COMPILE);
    gl.glAccum(GL_ACCUM, 1.0f);
    gl.glColor3f(0, 0, 1);
    gl.glEndList();
    gl.glNewList(2, GL_COMPILE);
    gl.glColor3f(1, 0, 0);
    gl.glEndList();
    gl.glCallList(1);
    gl.glGetFloatv(GL_CURRENT_COLOR, a.colourAfterLists.data());
    a.generatedList = gl.glGenLists(1);
    return a;
}

} // namespace

TEST(VornCtlAsAWindow, FreshContextAnswersAsAPlainWindowsContext)
{
    StateAnswers plain;
    {
        PlainGlWindow window(160, 120);
        plain = askFreshState(window);
    }
    ViewportHost host;
    StateAnswers control;
    host.onInit = [&](VornCtl& ctl) { control = askFreshState(ctl); };
    host.onPaint = [](VornCtl& ctl) { ctl.PresentFrame(); };
    ASSERT_TRUE(host.show());

    EXPECT_EQ(plain.rasterPosition, (std::array<GLfloat, 4>{0, 0, 0, 1})); // the window origin
    EXPECT_EQ(plain.drawBuffer, GL_BACK);
    EXPECT_EQ(plain.afterPop, (std::array<GLfloat, 4>{0.25f, -0.5f, 1, 1}));
    EXPECT_TRUE(plain.bitsAgree);
    EXPECT_EQ(control.rasterPosition, plain.rasterPosition);
    EXPECT_EQ(control.modelview, plain.modelview);
    EXPECT_EQ(control.projection, plain.projection);
    EXPECT_EQ(control.doubleBuffer, plain.doubleBuffer);
    EXPECT_EQ(control.drawBuffer, plain.drawBuffer);
    EXPECT_EQ(control.readBuffer, plain.readBuffer);
    EXPECT_EQ(control.clearInt, plain.clearInt);
    EXPECT_EQ(control.clearFloat, plain.clearFloat);
    EXPECT_EQ(control.clearDouble, plain.clearDouble);
    EXPECT_EQ(control.clearBool, plain.clearBool);
    EXPECT_EQ(control.afterPop, plain.afterPop);
    EXPECT_TRUE(control.bitsAgree);
}

TEST(VornCtlAsAWindow, ProgramOwnsEveryGlName)
{
    NameAnswers plain;
    {
        PlainGlWindow window(160, 120);
        plain = askNames(window);
    }
    ViewportHost host;
    std::optional<NameAnswers> control; // from the first paint, on the fresh context
    drawOnce(host, [&](VornCtl& ctl) {
        if (!control)
            control = askNames(ctl);
    });
    ASSERT_TRUE(control);

    EXPECT_EQ(plain.isTexture, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(plain.textured, (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(plain.colourAfterLists, (std::array<GLfloat, 4>{0, 0, 1, 1}));
    EXPECT_EQ(control->isTexture, plain.isTexture);
    EXPECT_EQ(control->isList, plain.isList);
    EXPECT_EQ(control->textured, plain.textured);
    EXPECT_EQ(control->generatedTexture, plain.generatedTexture);
    EXPECT_EQ(control->colourAfterLists, plain.colourAfterLists);
    EXPECT_EQ(control->generatedList, plain.generatedList);
}

TEST(VornCtlAsAWindow, AccumulationInDisplayListsRunsWhenTheListRuns)
{
    std::vector<std::array<int, 3>> plain;
    {
        PlainGlWindow window(160, 120);
        plain = runAccumulationLists(window);
    }
    ViewportHost host;
    std::vector<std::array<int, 3>> control;
    drawOnce(host, [&](VornCtl& ctl) { control = runAccumulationLists(ctl); });

    const std::vector<std::array<int, 3>> expected{{128, 64, 255}, {0, 255, 0}, {255, 0, 0}, {0, 0, 255}};
    EXPECT_EQ(plain, expected);
    EXPECT_EQ(control, plain);
}

TEST(VornCtlAsAWindow, FrontBufferIsWhatTheScreenShows)
{
    // GL names the buffers of a double-buffered window (its front cannot be
    // read back from Xvfb, so the screen shows what it holds).
    GLint plainReadBuffer = 0;
    {
        PlainGlWindow window(160, 120);
        window.glReadBuffer(GL_FRONT);
        window.glGetIntegerv(GL_READ_BUFFER, &plainReadBuffer);
    }
    ViewportHost host;
    drawOnce(host, [](VornCtl& ctl) { clearTo(ctl, 1, 0, 0); });
    GLint readBuffer = 0;
    std::array<int, 3> front{}, back{};
    drawOnce(host, [&](VornCtl& ctl) {
        clearTo(ctl, 0, 1, 0);
        ctl.glReadBuffer(GL_FRONT);
        ctl.glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        const QRgb shown = host.screen().pixel(5, 5);
        front = {qRed(shown), qGreen(shown), qBlue(shown)};
        ctl.glReadBuffer(GL_BACK);
        back = pixelAt(ctl, 5, 5);
    });
    EXPECT_EQ(plainReadBuffer, GL_FRONT);
    EXPECT_EQ(readBuffer, plainReadBuffer);
    EXPECT_EQ(front, (std::array<int, 3>{255, 0, 0})); // the frame presented last
    EXPECT_EQ(back, (std::array<int, 3>{0, 255, 0}));  // the frame being drawn
}

// ---- text ------------------------------------------------------------------

TEST(VornCtlText, TextStartsAtTheWindowPositionOfThePointInTheTextColour)
{
    ViewportHost host(400, 100);
    const QRgb olive = qRgb(128, 128, 0), yellow = qRgb(255, 255, 0);
    host.onInit = [](VornCtl& ctl) {
        ctl.SetTextFont(QStringLiteral("Times New Roman"), 36, 0);
        ctl.glClearColor(0.5f, 0.5f, 0, 0);
        ctl.glClear(GL_COLOR_BUFFER_BIT);
    };
    GLfloat colourAfter[4] = {};
    const QImage shown = drawOnce(host, [&](VornCtl& ctl) {
        ctl.glColor3f(1, 1, 0);
        ctl.DrawTextAt(-0.4, -0.6, QStringLiteral("Vorn-Control"));
        ctl.glGetFloatv(GL_CURRENT_COLOR, colourAfter);
    });
    int strays = 0;
    const InkBox ink = findInk(shown, yellow, olive, &strays);
    ASSERT_GT(ink.count, 100);
    EXPECT_EQ(strays, 0);           // one-bit glyphs: only text colour and background
    EXPECT_NEAR(ink.left, 120, 3);  // 30 % from the left edge
    EXPECT_NEAR(ink.bottom, 79, 2); // resting on the line 20 % above the bottom
    EXPECT_GT(ink.right, 250);      // twelve characters at 48 pixels
    EXPECT_EQ(colourAfter[2], 0.0f);
}

TEST(VornCtlText, TextFollowsTheMatricesAndTheFontSize)
{
    ViewportHost host(200, 200);
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    auto drawH = [&](double points) {
        return findInk(drawOnce(host,
                                [&](VornCtl& ctl) {
                                    fill(ctl, 0, 0, 0);
                                    ctl.SetTextFont(QStringLiteral("Arial"), points, 0);
                                    ctl.glMatrixMode(GL_MODELVIEW);
                                    ctl.glLoadIdentity();
                                    ctl.glTranslated(0.5, 0.5, 0);
                                    ctl.glScaled(0.5, 0.5, 1);
                                    ctl.glColor3d(1, 1, 1);
                                    ctl.DrawTextAt(-1, -1, QStringLiteral("H")); // lands on the window centre
                                    ctl.glLoadIdentity();
                                }),
                       white, black);
    };
    const InkBox small = drawH(12);
    const InkBox large = drawH(36);
    EXPECT_NEAR(small.left, 100, 3);
    EXPECT_NEAR(small.bottom, 99, 2);
    EXPECT_NEAR(large.bottom, 99, 2);
    EXPECT_NEAR(static_cast<double>(large.height()) / small.height(), 3.0, 0.4);

    const InkBox plain = drawH(36); // the bold option gives a heavier face
    const InkBox heavy = findInk(drawOnce(host,
                                          [](VornCtl& ctl) {
                                              fill(ctl, 0, 0, 0);
                                              ctl.SetTextFont(QStringLiteral("Arial"), 36, TextBold);
                                              ctl.glColor3d(1, 1, 1);
                                              ctl.DrawTextAt(0, 0, QStringLiteral("H"));
                                          }),
                                 white, black);
    EXPECT_GT(heavy.count, plain.count);
}

// ---- data buffers, GLU and GLUT --------------------------------------------

TEST(VornCtlDataBuffers, ByteBufferDrawnAsPixelsShowsItsSignedBytes)
{
    ViewportHost host(100, 100);
    // Two pixels, bottom row first: (127, 64, 255 -> -1, 127) and (145 -> -111, 127, 0, 127).
    const std::vector<double> values{127, 64, 255, 127, 145, 127, 0, 127};
    const QImage shown = drawOnce(host, [&](VornCtl& ctl) {
        fill(ctl, 0, 0, 1);
        ctl.glRasterPos2d(-1, -1);
        ctl.glPixelZoom(10, 10);
        ctl.glDrawPixels(2, 1, GL_RGBA, GL_BYTE, ctl.CreateDataBuffer(GL_BYTE, values));
        ctl.glPixelZoom(1, 1);
    });
    EXPECT_TRUE(near(shown.pixel(5, 95), 255, 128, 0, 3)) << std::hex << shown.pixel(5, 95);
    EXPECT_TRUE(near(shown.pixel(15, 95), 0, 255, 0, 3)) << std::hex << shown.pixel(15, 95);
    EXPECT_TRUE(near(shown.pixel(25, 95), 0, 0, 255));
}

TEST(VornCtlDataBuffers, DrawPixelsRefusesABufferTooSmallForTheImage)
{
    ViewportHost host(100, 100);
    bool refused = false;
    const QImage shown = drawOnce(host, [&](VornCtl& ctl) {
        fill(ctl, 0, 0, 0);
        ctl.glRasterPos2d(-1, -1);
        const auto small = ctl.CreateDataBuffer(GL_BYTE, std::vector<double>(4 * 50 * 50 - 1, 127));
        try {
            ctl.glDrawPixels(50, 50, GL_RGBA, GL_BYTE, small);
        } catch (const std::length_error&) {
            refused = true;
        }
    });
    EXPECT_TRUE(refused);
    EXPECT_TRUE(near(shown.pixel(10, 90), 0, 0, 0));
}

namespace {

VornCtl* tessTarget = nullptr;
int verticesRead = 0;

void onTessBegin(GLenum type)
{
    tessTarget->glBegin(type);
}
void onTessEnd()
{
    tessTarget->glEnd();
}
void onTessVertex(void* data)
{
    std::array<double, 6> values{};
    verticesRead += tessTarget->ReadDataBuffer(GL_DOUBLE, data, values) == 6;
    tessTarget->glVertex3dv(values.data());
    tessTarget->glColor3dv(values.data() + 3);
}

} // namespace

TEST(VornCtlDrawing, TessellatedPolygonDrawsThroughProgramCallbacks)
{
    ViewportHost host(100, 100);
    tessTarget = host.ctl;
    verticesRead = 0;
    const QImage shown = drawOnce(host, [](VornCtl& ctl) {
        fill(ctl, 0, 0.25f, 0.1f);
        ctl.glColor3f(0, 0.5f, 1);
        GLUtesselator* tess = ctl.gluNewTess();
        ctl.gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<_GLUfuncptr>(&onTessBegin));
        ctl.gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<_GLUfuncptr>(&onTessVertex));
        ctl.gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(&onTessEnd));
        ctl.gluTessBeginPolygon(tess, nullptr);
        ctl.gluTessBeginContour(tess);
        std::array<std::array<GLdouble, 3>, 4> corners{
            {{-0.85, -0.85, 0}, {0.75, -0.75, 0}, {0.85, 0.85, 0}, {-0.75, 0.75, 0}}};
        for (auto& corner : corners) {
            const std::vector<double> data{corner[0], corner[1], corner[2], corner[0], corner[1], corner[2], 0};
            // The program drops its reference at once; the control keeps the buffer until the polygon ends.
            ctl.gluTessVertex(tess, corner.data(), ctl.CreateDataBuffer(GL_DOUBLE, data));
        }
        ctl.gluTessEndContour(tess);
        ctl.gluTessEndPolygon(tess);
        ctl.gluDeleteTess(tess);
    });
    EXPECT_GE(verticesRead, 4);
    EXPECT_FALSE(near(shown.pixel(50, 50), 0, 64, 26, 4)); // inside: drawn over
    EXPECT_TRUE(near(shown.pixel(2, 2), 0, 64, 26, 2));    // corners of the window: background
    EXPECT_TRUE(near(shown.pixel(97, 97), 0, 64, 26, 2));
}

TEST(VornCtlDrawing, GlutSolidCoversItsExtent)
{
    ViewportHost host(100, 100);
    const QImage shown = drawOnce(host, [](VornCtl& ctl) {
        fill(ctl, 0, 0, 0);
        ctl.glColor3d(1, 0, 1);
        ctl.glutSolidSphere(0.5, 16, 16); // radius 25 pixels about the centre
    });
    EXPECT_TRUE(near(shown.pixel(50, 50), 255, 0, 255));
    EXPECT_TRUE(near(shown.pixel(50, 28), 255, 0, 255));
    EXPECT_TRUE(near(shown.pixel(50, 20), 0, 0, 0));
    EXPECT_TRUE(near(shown.pixel(80, 50), 0, 0, 0));
}
