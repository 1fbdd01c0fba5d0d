#pragma once
// The native window a VornCtl shows its picture in: a double-buffered OpenGL
// window (depth 24, stencil 8) with a compatibility-profile context of its own.
// Programs draw straight into its back buffer and a swap shows the frame.

#include <QImage>
#include <QWindow>

#include <memory>

class QOpenGLContext;

class ViewportWindow : public QWindow {
public:
    // What the window tells its control.
    class Listener {
    public:
        virtual void windowExposed() = 0;      // the window system may have lost the picture
        virtual void windowResized() = 0;      // the picture must be drawn at the new size
        virtual void windowGoingAway() = 0;    // the native window and its context end
        virtual QString ownerName() const = 0; // how messages name the control

    protected:
        ~Listener() = default;
    };

    explicit ViewportWindow(Listener* listener);
    ~ViewportWindow() override;
    void detach() { listener_ = nullptr; }

    // Creates the context at the first exposure; false after one line on
    // standard error when the display offers no OpenGL.
    bool ensureContext();
    QOpenGLContext* context() const { return context_.get(); }
    bool hasContext() const { return context_ != nullptr; }
    void makeCurrent();
    // Shows the back buffer; false when the window is not exposed (nothing shown).
    // While a grab waits where the screen's pixels cannot be read, the frame is
    // kept as it goes to the screen.
    bool swap();
    // What the window shows, opaque, in device pixels: the X server's pixels of
    // the window (Mesa cannot read a window's front buffer back from Xvfb), else
    // the frame kept at the last swap, else the front buffer.
    QImage shownImage();
    QSize pixelSize() const;
    // The swap interval asked for when the native window is made.
    void setSwapInterval(int interval);

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    QImage readBuffer(unsigned buffer);
    void releaseContext();

    Listener* listener_;
    std::unique_ptr<QOpenGLContext> context_;
    QImage keptFrame_; // the last frame shown, while grabs want it
};
