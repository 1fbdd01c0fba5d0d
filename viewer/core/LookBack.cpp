#include "LookBack.h"

#include <algorithm>

namespace meshscope {

std::string agoText(std::int64_t elapsedMs)
{
    elapsedMs = std::max<std::int64_t>(elapsedMs, 0);
    if (elapsedMs < 60'000) {
        const std::int64_t tenths = (elapsedMs + 50) / 100;
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s ago";
    }
    const std::int64_t seconds = elapsedMs / 1000;
    const std::int64_t rest = seconds % 60;
    return std::to_string(seconds / 60) + " min " + (rest < 10 ? "0" : "") + std::to_string(rest) + " s ago";
}

LookBack::LookBack() = default;
LookBack::~LookBack() = default;

void LookBack::afterTick(const ViewerState& live, std::int64_t nowMs)
{
    if (live.newFrameCount == lastNewFrameCount_)
        return;
    lastNewFrameCount_ = live.newFrameCount;
    history_.record(live, nowMs);
    if (frozen_ && frame_ && !history_.holds(*frame_))
        keepShownFrameHeld();
}

void LookBack::freeze(const ViewerState& live)
{
    if (frozen_)
        return;
    frozen_ = true;
    frame_.reset();
    held_.reset();
    // The live grid is most often the newest frame's: hold that frame, so a
    // step back shows the one before it.
    if (!history_.empty()) {
        const std::uint64_t newest = history_.newest();
        if (frameSurface(history_.at(newest), live.smoothLevel) == drawnSurface(live))
            frame_ = newest;
    }
    if (!frame_)
        held_ = std::make_unique<ViewerState>(live);
    rebuilt_.reset();
    changed();
}

void LookBack::goLive()
{
    if (!frozen_)
        return;
    frozen_ = false;
    frame_.reset();
    held_.reset();
    rebuilt_.reset();
    changed();
}

void LookBack::step(const ViewerState& live, int frames)
{
    freeze(live);
    // A held grid that is no frame stands after every frame held.
    if (history_.empty() || (!frame_ && frames >= 0))
        return;
    const auto from = static_cast<std::int64_t>(frame_ ? *frame_ : history_.newest() + 1);
    const std::int64_t wanted = std::clamp(from + frames, static_cast<std::int64_t>(history_.oldest()),
                                           static_cast<std::int64_t>(history_.newest()));
    showFrame(live, static_cast<std::uint64_t>(wanted));
}

void LookBack::toOldest(const ViewerState& live)
{
    freeze(live);
    if (!history_.empty())
        showFrame(live, history_.oldest());
}

void LookBack::showFrame(const ViewerState& live, std::uint64_t number)
{
    freeze(live);
    if (history_.empty())
        return;
    number = std::clamp(number, history_.oldest(), history_.newest());
    if (frame_ == number)
        return;
    frame_ = number;
    held_.reset();
    changed();
}

std::optional<std::uint64_t> LookBack::shownFrame() const
{
    return frozen_ ? frame_ : std::nullopt;
}

void LookBack::keepShownFrameHeld()
{
    frame_ = history_.oldest();
    changed();
}

void LookBack::setBaseline(const ViewerState& live)
{
    baseline_ = baseSurface(live);
    changed();
}

void LookBack::clearBaseline()
{
    baseline_.reset();
    changed();
}

void LookBack::setDifferenceShown(bool shown)
{
    if (difference_ == shown)
        return;
    difference_ = shown;
    changed();
}

DrawnSurface LookBack::heldSurface(const ViewerState& live)
{
    const std::uint64_t key = frame_.value_or(0);
    if (!rebuilt_ || rebuilt_->frame != key || rebuilt_->smoothLevel != live.smoothLevel) {
        std::shared_ptr<FrameReadings> readings;
        DrawnSurface surface;
        if (frame_) {
            readings = std::make_shared<FrameReadings>();
            surface = frameSurface(history_.at(*frame_), live.smoothLevel, readings.get());
        } else {
            surface = smoothedSurface(*held_, live.smoothLevel);
        }
        rebuilt_ = Rebuilt{key, live.smoothLevel, std::move(surface), std::move(readings)};
    }
    return rebuilt_->surface;
}

DrawnSurface LookBack::baseSurface(const ViewerState& live)
{
    return frozen_ ? heldSurface(live) : drawnSurface(live);
}

void LookBack::setLevelling(const Levelling& levelling)
{
    if (levelling == levelling_)
        return;
    levelling_ = levelling;
    changed();
}

DrawnSurface LookBack::shownSurface(const ViewerState& live)
{
    return shownFrom(baseSurface(live));
}

DrawnSurface LookBack::shownFrom(DrawnSurface base)
{
    DrawnSurface shown = differenceShown() ? surfaceDifference(base, *baseline_) : std::move(base);
    levellingApplied_ = levelSurface(shown, levelling_);
    return shown;
}

namespace {

// Each point's height moved as the surface at its node moved from base to
// shown, so its mark stays on a difference or a levelled surface.
std::array<float, kMaxPoints> markHeightsOn(const InterpolatedFrame& points, const DrawnSurface& base,
                                            const DrawnSurface& shown)
{
    std::array<float, kMaxPoints> heights{};
    for (int k = 0; k <= points.lastPoint && k < kMaxPoints; ++k) {
        const auto u = static_cast<std::size_t>(k);
        heights[u] = points.ptZ[u];
        if (shown.empty())
            continue;
        const int x = std::clamp<int>(points.ptX[u], shown.firstX, shown.lastX);
        const int y = std::clamp<int>(points.ptY[u], shown.firstY, shown.lastY);
        if (x >= base.firstX && x <= base.lastX && y >= base.firstY && y <= base.lastY)
            heights[u] -= base.at(x, y) - shown.at(x, y);
    }
    return heights;
}

} // namespace

ViewerState& LookBack::shownState(ViewerState& live)
{
    if (!active())
        return live;
    if (!shown_)
        shown_ = std::make_unique<ViewerState>(live);
    else
        *shown_ = live;
    DrawnSurface base = baseSurface(live);
    const DrawnSurface shown = shownFrom(base);
    showSurface(*shown_, shown);
    // The marks and the read-out of a frozen picture are its frame's, not the line's.
    if (frozen_ && rebuilt_ && rebuilt_->readings) {
        shown_->interpolated = rebuilt_->readings->points;
        shown_->rawHeights = rebuilt_->readings->rawHeights;
    } else if (frozen_ && held_) {
        shown_->interpolated = held_->interpolated;
        shown_->rawHeights = held_->rawHeights;
    }
    if (differenceShown() || levelling_.active())
        shown_->markHeights = markHeightsOn(shown_->interpolated, base, shown);
    return *shown_;
}

} // namespace meshscope
