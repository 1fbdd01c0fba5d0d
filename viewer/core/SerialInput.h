// Sample frames from the serial line: the receive buffer, the frame parser
// and the poll tick.
#pragma once

#include <cstddef>
#include <string_view>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// The frame the device sends when it works; accepted copies are counted apart.
constexpr std::string_view kReferenceFrame = "<66,66,70; 100,100,10; 1,66,10; 100,33,10; 66,100,10>";

// Past this size, after a tick's take, the receive buffer keeps only its text
// from the last "<" (or nothing, when that alone is longer).
constexpr std::size_t kRxBufferLimit = 64 * 1024;

// Why a frame was refused.
enum class FrameRefusal {
    none,
    fewerThanTwoPoints,
    moreThan21Points,
    notANumber,         // a field missing or not plain decimal
    outOfRange,         // a number beyond the 16-bit range
    blankOtherThanSpace // a tab, CR or other blank inside a failing field
};

// The refusal as a person reads it ("a field that is no number").
const char* refusalText(FrameRefusal refusal);

// What one take found: no frame, an accepted one or a refused one. A repeat
// is the frame whose bytes an earlier take already took (the last frame of a
// quiet line, taken again at every tick).
struct FrameTake {
    enum class Result { none, accepted, refused };
    Result result = Result::none;
    bool repeat = false;
    FrameRefusal refusal = FrameRefusal::none;
};

// Takes at most one frame out of rxBuffer; an accepted frame sets the points,
// grows the counters and interpolates (interpolateUnlessRepeated).
FrameTake takeFrame(ViewerState& state, ViewerHost& host);

// takeFrame; true when accepted.
bool takeOneFrame(ViewerState& state, ViewerHost& host);

// Empties rxBuffer, keeping the stream position of what comes next.
void clearReceived(ViewerState& state);

// Brings rxBuffer back within kRxBufferLimit. Run after the tick's take, so
// the frame the rules take from a long input is taken before anything goes.
void trimReceived(ViewerState& state);

// The line was lost: keeps rxBuffer up to its last ">" and throws away what
// follows, a frame cut by the loss that later bytes must never complete.
void dropUnfinishedFrame(ViewerState& state);

// What one poll tick read and took.
struct PollTick {
    std::size_t bytes = 0;
    // Frames the new bytes completed (a ">" after a "<"), taken or not: a
    // device faster than the ticks has some passed over by the take rules.
    std::size_t framesEnded = 0;
    FrameTake take;
};

// One tick of the serial poll timer: read what waits at the port, take one
// frame, refresh the status line.
PollTick serialPollTick(ViewerState& state, ViewerHost& host);

// The line was lost: its last characters are taken as at a poll, but a frame
// they leave unfinished is thrown away (dropUnfinishedFrame).
void lineLost(ViewerState& state, ViewerHost& host);

} // namespace meshscope
