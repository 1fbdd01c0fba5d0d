#pragma once

// What the viewport last set up and showed. Every accepted frame runs the
// set-up and every animation tick asks for a redraw, while a quiet line
// re-takes its last frame every 10 ms: the same projection and lights, or
// the same picture, are not drawn again.

#include <cstdint>
#include <optional>

class VornCtl;

namespace meshscope {

class ViewerSession;

class PaintGate {
public:
    PaintGate(VornCtl& viewport, ViewerSession& session) : viewport_(viewport), session_(session) {}

    // The scene set-up's GL calls, made only when one of their inputs changed.
    void setUpIfChanged();
    bool setUpChanged() const { return applied_ != currentSetup(); }
    // Asks for a paint unless it would show the picture shown; always: a key.
    void requestRedraw(bool always);
    // Paints at once, unless it would show the picture shown.
    void paintNowIfChanged();
    // A new context: nothing is set up or shown in it.
    void forget();
    void paintStarted() { shown_.reset(); }
    void painted() { shown_ = currentPicture(); }

private:
    // What the context's projection and lights follow: the set-up's inputs
    // by their change counter, and the viewport's size.
    struct SetupKey {
        std::uint64_t revision = 0;
        double width = 0;
        double height = 0;
        bool operator==(const SetupKey&) const = default;
    };
    // What a presented frame showed: the set-up, the paint's inputs by their
    // change counter, and the pixel ratio the picture was drawn at.
    struct PictureKey {
        SetupKey setup;
        std::uint64_t revision = 0;
        std::uint64_t lookBack = 0; // a frozen frame, a baseline
        double pixelRatio = 1;
        bool operator==(const PictureKey&) const = default;
    };
    SetupKey currentSetup() const;
    PictureKey currentPicture() const;

    VornCtl& viewport_;
    ViewerSession& session_;
    std::optional<SetupKey> applied_;
    std::optional<PictureKey> shown_;
};

} // namespace meshscope
