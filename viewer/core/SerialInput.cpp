#include "SerialInput.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DecimalNumber.h"
#include "TextSplit.h"
#include "Interpolation.h"
#include "StatusText.h"

namespace meshscope {

namespace {

// Reads one item's first three fields into point k; false when the item is bad.
bool readPoint(ViewerState& state, std::size_t k, std::string_view item)
{
    const auto fields = splitAt(item, ',');
    if (fields.size() < 3)
        return false;
    std::optional<double> values[3];
    for (int f = 0; f < 3; ++f) {
        values[f] = parseDecimal(fields[f]);
        if (!values[f])
            return false;
    }
    const auto x = roundToInt16(*values[0]);
    const auto y = roundToInt16(*values[1]);
    const auto z = roundToInt16(*values[2]);
    if (!x || !y || !z)
        return false;
    state.ptX[k] = *x;
    state.ptY[k] = *y;
    state.ptZ[k] = *z;
    return true;
}

// Cuts the frame text out of rxBuffer and trims the buffer to its last "<".
// Empty when the buffer holds no "<" or no ">" (buffer left unchanged).
// leftAtHead: the frame's own "<" was the last, so the buffer still starts with it.
std::optional<std::string> cutFrame(std::string& buffer, bool& leftAtHead)
{
    const std::size_t open = buffer.find('<');
    const std::size_t close = buffer.find('>');
    if (open == std::string::npos || close == std::string::npos)
        return std::nullopt;
    // The frame is as long as the distance to the first ">" from the buffer's
    // start, counted from the first "<".
    std::string frame = buffer.substr(open, close + 1);
    const std::size_t lastOpen = buffer.rfind('<');
    leftAtHead = lastOpen == open;
    buffer.erase(0, lastOpen);
    return frame;
}

} // namespace

bool takeOneFrame(ViewerState& state, ViewerHost& host)
{
    bool leftAtHead = false;
    const auto frame = cutFrame(state.rxBuffer, leftAtHead);
    if (!frame)
        return false;
    // The frame the last take left at the head, found there again, is a re-take.
    const bool retake = !state.frameAtHead.empty() && *frame == state.frameAtHead;
    state.frameAtHead.clear();
    // A ">" first in the buffer gives a frame too short to hold "<" and ">".
    if (frame->size() < 2)
        return false;

    const std::string_view inner = std::string_view(*frame).substr(1, frame->size() - 2);
    const auto items = inner.empty() ? std::vector<std::string_view>{} : splitAt(inner, ';');
    if (items.size() > static_cast<std::size_t>(kMaxPoints))
        return false;
    state.lastPoint = static_cast<std::int16_t>(static_cast<int>(items.size()) - 1);
    if (items.size() < 2)
        return false;

    for (std::size_t k = 0; k < items.size(); ++k) {
        if (!readPoint(state, k, items[k]))
            return false;
    }

    // The counters stop at their largest value rather than overflow.
    if (state.interpCount < INT32_MAX)
        ++state.interpCount;
    if (*frame == kReferenceFrame && state.okCount < INT32_MAX)
        ++state.okCount;
    if (!retake)
        ++state.newFrameCount;
    if (leftAtHead)
        state.frameAtHead = *frame;
    interpolateUnlessRepeated(state, host);
    return true;
}

void trimReceived(ViewerState& state)
{
    std::string& buffer = state.rxBuffer;
    if (buffer.size() <= kRxBufferLimit)
        return;
    // Text before the last "<" can no longer be accepted: a frame text cut
    // from an earlier "<" would hold the later one.
    const std::size_t lastOpen = buffer.rfind('<');
    if (lastOpen == std::string::npos || buffer.size() - lastOpen > kRxBufferLimit) {
        buffer.clear();
    } else {
        buffer.erase(0, lastOpen);
    }
    if (lastOpen != 0)
        state.frameAtHead.clear();
}

void dropUnfinishedFrame(ViewerState& state)
{
    std::string& buffer = state.rxBuffer;
    const std::size_t lastClose = buffer.rfind('>');
    buffer.erase(lastClose == std::string::npos ? 0 : lastClose + 1);
}

void serialPollTick(ViewerState& state, ViewerHost& host)
{
    if (host.InBufferCount() > 0)
        state.rxBuffer += host.Input();
    takeOneFrame(state, host);
    trimReceived(state);
    updateStatus(state, host);
}

void lineLost(ViewerState& state, ViewerHost& host)
{
    if (host.InBufferCount() > 0)
        state.rxBuffer += host.Input();
    dropUnfinishedFrame(state);
}

} // namespace meshscope
