#pragma once
// Form1: the examples window with its three labels and four viewports, each
// viewport answered by one scene's initialisation and paint handlers.
#include "VornCtl.h"

#include <QWidget>

#include <array>
#include <bitset>
#include <cstdint>

class QLabel;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The instance the program shows at start; the tessellator callbacks draw
    // through its VornCtl3. Null when no form exists.
    static Form1* defaultInstance();

    // Screen factors, as the platform's screen object gives them now: twips per
    // framebuffer (device) pixel.
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;
    // A design length in twips as Qt's logical pixels, for placing widgets.
    int onScreen(double twips, double twipsPerPixel) const;

    VornCtl* VornCtl1 = nullptr; // antialiased lit shapes
    VornCtl* VornCtl2 = nullptr; // generated pixel image
    VornCtl* VornCtl3 = nullptr; // tessellated polygon
    VornCtl* VornCtl4 = nullptr; // text banner
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

signals:
    // Emitted once, when every viewport has presented at least one frame.
    void allViewportsPresented();

protected:
    bool event(QEvent* event) override;

private:
    void createControls();
    // The labels and viewports at their design places, for the screen's
    // twips per pixel: at start and when the window moves to another screen.
    void placeControls();
    void connectViewport(VornCtl* viewport, void (Form1::*onInitialization)(), void (Form1::*onPaint)(), int index);
    void Form_Load();

    void VornCtl1_Initialization();
    void VornCtl1_Paint();
    void drawShapes(VornCtl* viewport);
    void VornCtl2_Initialization();
    void VornCtl2_Paint();
    void VornCtl3_Initialization();
    void VornCtl3_Paint();
    void VornCtl4_Initialization();
    void VornCtl4_Paint();

    std::array<GLint, 4> viewportBox{};
    std::int32_t passCount = 0;
    std::int32_t passIndex = 0;
    DataBufferRef pixelBuffer;

    std::bitset<4> presented;
};
