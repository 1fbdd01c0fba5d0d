#include "BatchHost.h"

#include "ProgramLine.h"
#include "SerialInput.h"
#include "TextSplit.h"

namespace meshgrid {

void StreamFeeder::feed(std::string_view text)
{
    anyText_ = anyText_ || !text.empty();
    for (const std::string_view part : meshscope::splitAfter(text, '>')) {
        frameOpen_ = frameOpen_ || part.find('<') != std::string_view::npos;
        if (part.back() != '>') { // the text since the chunk's last ">"
            carry_ += part;
            if (carry_.size() >= kLongestPiece)
                piece(std::exchange(carry_, {}));
            return;
        }
        if (frameOpen_)
            ++frames_;
        frameOpen_ = false;
        if (carry_.empty()) {
            piece(part);
        } else {
            carry_ += part;
            piece(std::exchange(carry_, {}));
        }
    }
}

void StreamFeeder::finish()
{
    if (!carry_.empty())
        piece(std::exchange(carry_, {}));
    flushQuiet();
    tick({});
}

// A tick of text without "<" into a buffer without "<" takes nothing and,
// while the buffer stays within its bound, trims nothing: such pieces are
// played together, so a long run of ">" costs one tick per buffer's worth.
void StreamFeeder::piece(std::string_view text)
{
    const bool opens = text.find('<') != std::string_view::npos;
    const auto fits = [&] { return state_.rxBuffer.size() + quiet_.size() + text.size() <= meshscope::kRxBufferLimit; };
    if (!opens && !bufferOpen_ && fits()) {
        quiet_ += text;
        return;
    }
    flushQuiet();
    if (!opens && !bufferOpen_ && fits())
        quiet_ = text;
    else
        tick(text);
}

void StreamFeeder::flushQuiet()
{
    if (quiet_.empty())
        return;
    tick(quiet_);
    quiet_.clear();
}

void StreamFeeder::tick(std::string_view text)
{
    host_.deliver(std::string(text));
    meshscope::serialPollTick(state_, host_);
    bufferOpen_ = state_.rxBuffer.find('<') != std::string::npos;
}

void BatchHost::reportProblem(const std::string& message)
{
    vorn::writeProgramLine(programName_, message);
}

} // namespace meshgrid
