// Looking back at the line: the frame history, a frozen picture that steps
// through it, and a baseline the drawn surface is compared with.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "DrawnSurface.h"
#include "FrameHistory.h"
#include "Levelling.h"
#include "ViewerState.h"

namespace meshscope {

// How long ago something arrived, as the history slider says it: "0.4 s ago",
// "12.0 s ago", "3 min 05 s ago".
std::string agoText(std::int64_t elapsedMs);

class LookBack {
public:
    LookBack();
    ~LookBack();

    // After each poll tick: records the frame the tick took when it was a new one.
    void afterTick(const ViewerState& live, std::int64_t nowMs);
    const FrameHistory& history() const { return history_; }

    // Holds the picture drawn now while the line goes on: on the newest frame
    // when the live grid is that frame's, otherwise on the live grid itself.
    void freeze(const ViewerState& live);
    void goLive();
    bool frozen() const { return frozen_; }
    // Frames back (negative) or forward from the one shown, stopping at the
    // oldest and the newest; from live it freezes first.
    void step(const ViewerState& live, int frames);
    void toOldest(const ViewerState& live);
    // Shows the frame with that number (the nearest one held).
    void showFrame(const ViewerState& live, std::uint64_t number);
    // The history frame shown while frozen; none while live or on a held grid.
    std::optional<std::uint64_t> shownFrame() const;

    // The baseline is the surface drawn now (without a difference).
    void setBaseline(const ViewerState& live);
    void clearBaseline();
    bool hasBaseline() const { return baseline_.has_value(); }
    void setDifferenceShown(bool shown);
    // Shown only while there is a baseline to subtract.
    bool differenceShown() const { return difference_ && baseline_; }

    // The levelling of what is shown, applied last (after the difference).
    void setLevelling(const Levelling& levelling);
    const Levelling& levelling() const { return levelling_; }
    // False when the surface last shown could not be levelled as set (the
    // pinned cells lie off it); it is then shown as it is.
    bool levellingApplied() const { return levellingApplied_; }

    // Something other than the live grid is drawn.
    bool active() const { return frozen_ || differenceShown() || levelling_.active(); }
    // What the paint draws: the live or held surface, or that minus the
    // baseline, levelled as set.
    DrawnSurface shownSurface(const ViewerState& live);
    // live itself while nothing is held or compared; otherwise a copy of live
    // (so its view, colours and keys) carrying shownSurface() and, while
    // frozen, the held frame's points and unsmoothed grid.
    ViewerState& shownState(ViewerState& live);
    // Grows whenever what is shown changes for a reason live's own counters miss.
    std::uint64_t revision() const { return revision_; }

private:
    DrawnSurface heldSurface(const ViewerState& live);
    DrawnSurface baseSurface(const ViewerState& live);
    DrawnSurface shownFrom(DrawnSurface base);
    void keepShownFrameHeld();
    void changed() { ++revision_; }

    FrameHistory history_;
    std::uint64_t lastNewFrameCount_ = 0;
    bool frozen_ = false;
    std::optional<std::uint64_t> frame_; // frozen on this history frame
    std::unique_ptr<ViewerState> held_;  // or on this raw grid and extent
    std::optional<DrawnSurface> baseline_;
    bool difference_ = false;
    Levelling levelling_;
    bool levellingApplied_ = true;
    std::unique_ptr<ViewerState> shown_;
    // The held surface last rebuilt, by the frame (0: the held grid) and width.
    struct Rebuilt {
        std::uint64_t frame = 0;
        std::int16_t smoothLevel = 0;
        DrawnSurface surface;
        std::shared_ptr<const FrameReadings> readings; // a history frame's; the held grid keeps its own
    };
    std::optional<Rebuilt> rebuilt_;
    std::uint64_t revision_ = 0;
};

} // namespace meshscope
