// The viewer's window as a batch run sees it: no viewport, and a serial line
// that delivers one prepared piece of the stream per poll tick.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshgrid {

class BatchHost : public meshscope::NullHost {
public:
    explicit BatchHost(std::string programName) : programName_(std::move(programName)) {}

    // Queues the text the next poll tick will find waiting.
    void deliver(std::string piece) { waiting_ = std::move(piece); }

    int InBufferCount() override { return static_cast<int>(waiting_.size()); }
    std::string Input() override { return std::exchange(waiting_, {}); }
    void reportProblem(const std::string& message) override;

private:
    std::string programName_;
    std::string waiting_;
};

// Plays a serial stream, read piece by piece, to the viewer's poll tick: the
// stream is cut after every ">"; a piece that may take a frame is one tick,
// while a run of pieces with no "<" in them or in the receive buffer is played
// as one tick (up to a buffer's worth); then one quiet tick follows. Only a
// piece and the receive buffer are held at a time.
class StreamFeeder {
public:
    StreamFeeder(meshscope::ViewerState& state, BatchHost& host) : state_(state), host_(host) {}

    void feed(std::string_view text);
    // The stream has ended: its last piece and the quiet tick.
    void finish();

    bool empty() const { return !anyText_; }
    // Frames in the stream, "<" ... ">", well-formed or not.
    long long frames() const { return frames_; }

    // A run this long without a ">" is played as a piece of its own.
    static constexpr std::size_t kLongestPiece = 1 << 20;

private:
    void piece(std::string_view text);
    void tick(std::string_view text);
    void flushQuiet();

    meshscope::ViewerState& state_;
    BatchHost& host_;
    std::string carry_;       // the stream's text since its last ">"
    std::string quiet_;       // pieces that cannot change anything, played as one tick
    bool bufferOpen_ = false; // the receive buffer holds a "<"
    bool frameOpen_ = false;  // a "<" since the last ">"
    bool anyText_ = false;
    long long frames_ = 0;
};

} // namespace meshgrid
