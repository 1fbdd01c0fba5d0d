// The status line and its number-to-text conversion.
#pragma once

#include <cstdint>
#include <string>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// A number as the status line writes it: a blank (or "-") for the sign, at
// most `digits` significant digits, no "0" before the point of a fraction.
std::string numberText(double value, int digits);
std::string numberText(float value);        // a Single: 7 digits
std::string numberText(double value);       // a Double: 15 digits
std::string numberText(std::int32_t value); // a Long, written in full

// "x= 35 y= 0 z= 25 zoom= 1.5 [Interp. Count= 0; OK= 0]"
std::string statusText(const ViewerState& state);

// Writes statusText into the window's status line.
void updateStatus(const ViewerState& state, ViewerHost& host);

} // namespace meshscope
