#include "SerialInput.h"

#include <algorithm>
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

// Why a field is not a 16-bit number.
FrameRefusal fieldRefusal(std::string_view field)
{
    if (field.find_first_of("\t\n\v\f\r") != std::string_view::npos)
        return FrameRefusal::blankOtherThanSpace;
    return isDecimalText(field) ? FrameRefusal::outOfRange : FrameRefusal::notANumber;
}

// Reads one item's first three fields into point k; the refusal when the item
// is bad.
FrameRefusal readPoint(ViewerState& state, std::size_t k, std::string_view item)
{
    const auto fields = splitAt(item, ',');
    if (fields.size() < 3) {
        for (const auto field : fields)
            if (fieldRefusal(field) == FrameRefusal::blankOtherThanSpace)
                return FrameRefusal::blankOtherThanSpace;
        return FrameRefusal::notANumber;
    }
    std::optional<std::int16_t> values[3];
    for (std::size_t f = 0; f < 3; ++f) {
        const auto value = parseDecimal(fields[f]);
        if (value)
            values[f] = roundToInt16(*value);
        if (!values[f])
            return fieldRefusal(fields[f]);
    }
    state.ptX[k] = *values[0];
    state.ptY[k] = *values[1];
    state.ptZ[k] = *values[2];
    return FrameRefusal::none;
}

// Cuts the frame text out of rxBuffer and trims the buffer to its last "<";
// repeat tells whether an earlier take already took the frame's ">".
// Empty when the buffer holds no "<" or no ">" (buffer left unchanged).
std::optional<std::string> cutFrame(ViewerState& state, bool& repeat)
{
    std::string& buffer = state.rxBuffer;
    const std::size_t open = buffer.find('<');
    const std::size_t close = buffer.find('>');
    if (open == std::string::npos || close == std::string::npos)
        return std::nullopt;
    // The frame is as long as the distance to the first ">" from the buffer's
    // start, counted from the first "<".
    std::string frame = buffer.substr(open, close + 1);
    const std::uint64_t end = state.rxOffset + close + 1;
    repeat = end <= state.takenUpTo;
    state.takenUpTo = std::max(state.takenUpTo, end);
    const std::size_t keep = buffer.rfind('<');
    buffer.erase(0, keep);
    state.rxOffset += keep;
    return frame;
}

} // namespace

FrameTake takeFrame(ViewerState& state, ViewerHost& host)
{
    FrameTake take;
    const auto refuse = [&take](FrameRefusal why) {
        take.result = FrameTake::Result::refused;
        take.refusal = why;
        return take;
    };
    const auto frame = cutFrame(state, take.repeat);
    if (!frame)
        return take;
    // A ">" first in the buffer gives a frame too short to hold "<" and ">".
    if (frame->size() < 2)
        return refuse(FrameRefusal::fewerThanTwoPoints);

    const std::string_view inner = std::string_view(*frame).substr(1, frame->size() - 2);
    const auto items = inner.empty() ? std::vector<std::string_view>{} : splitAt(inner, ';');
    if (items.size() > static_cast<std::size_t>(kMaxPoints))
        return refuse(FrameRefusal::moreThan21Points);
    state.lastPoint = static_cast<std::int16_t>(static_cast<int>(items.size()) - 1);
    if (items.size() < 2)
        return refuse(FrameRefusal::fewerThanTwoPoints);

    for (std::size_t k = 0; k < items.size(); ++k) {
        const FrameRefusal why = readPoint(state, k, items[k]);
        if (why != FrameRefusal::none)
            return refuse(why);
    }

    // The counters stop at their largest value rather than overflow.
    if (state.interpCount < INT32_MAX)
        ++state.interpCount;
    if (*frame == kReferenceFrame && state.okCount < INT32_MAX)
        ++state.okCount;
    if (!take.repeat)
        ++state.newFrameCount;
    interpolateUnlessRepeated(state, host);
    take.result = FrameTake::Result::accepted;
    return take;
}

bool takeOneFrame(ViewerState& state, ViewerHost& host)
{
    return takeFrame(state, host).result == FrameTake::Result::accepted;
}

void clearReceived(ViewerState& state)
{
    state.rxOffset += state.rxBuffer.size();
    state.rxBuffer.clear();
}

const char* refusalText(FrameRefusal refusal)
{
    switch (refusal) {
    case FrameRefusal::none: return "none";
    case FrameRefusal::fewerThanTwoPoints: return "fewer than two points";
    case FrameRefusal::moreThan21Points: return "more than 21 points";
    case FrameRefusal::notANumber: return "a field that is no number";
    case FrameRefusal::outOfRange: return "a value out of range";
    case FrameRefusal::blankOtherThanSpace: return "a blank other than space inside a frame";
    }
    return "unknown";
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
        clearReceived(state);
    } else {
        buffer.erase(0, lastOpen);
        state.rxOffset += lastOpen;
    }
}

void dropUnfinishedFrame(ViewerState& state)
{
    std::string& buffer = state.rxBuffer;
    const std::size_t lastClose = buffer.rfind('>');
    buffer.erase(lastClose == std::string::npos ? 0 : lastClose + 1);
}

PollTick serialPollTick(ViewerState& state, ViewerHost& host)
{
    PollTick tick;
    if (host.InBufferCount() > 0) {
        const std::string arrived = host.Input();
        tick.bytes = arrived.size();
        const std::size_t lastOpen = state.rxBuffer.rfind('<');
        const std::size_t lastClose = state.rxBuffer.rfind('>');
        bool open = lastOpen != std::string::npos && (lastClose == std::string::npos || lastClose < lastOpen);
        for (const char c : arrived) {
            if (c == '<') {
                open = true;
            } else if (c == '>' && open) {
                ++tick.framesEnded;
                open = false;
            }
        }
        state.rxBuffer += arrived;
    }
    tick.take = takeFrame(state, host);
    trimReceived(state);
    updateStatus(state, host);
    return tick;
}

void lineLost(ViewerState& state, ViewerHost& host)
{
    if (host.InBufferCount() > 0)
        state.rxBuffer += host.Input();
    dropUnfinishedFrame(state);
}

} // namespace meshscope
