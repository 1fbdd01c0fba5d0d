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

// Takes at most one frame out of rxBuffer; an accepted frame sets the points,
// grows the counters and interpolates (interpolateUnlessRepeated). Returns
// true when accepted.
bool takeOneFrame(ViewerState& state, ViewerHost& host);

// Brings rxBuffer back within kRxBufferLimit. Run after the tick's take, so
// the frame the rules take from a long input is taken before anything goes.
void trimReceived(ViewerState& state);

// The line was lost: keeps rxBuffer up to its last ">" and throws away what
// follows, a frame cut by the loss that later bytes must never complete.
void dropUnfinishedFrame(ViewerState& state);

// One tick of the serial poll timer: read what waits at the port, take one
// frame, refresh the status line.
void serialPollTick(ViewerState& state, ViewerHost& host);

// The line was lost: its last characters are taken as at a poll, but a frame
// they leave unfinished is thrown away (dropUnfinishedFrame).
void lineLost(ViewerState& state, ViewerHost& host);

} // namespace meshscope
