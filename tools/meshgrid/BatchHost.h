// The viewer's window as a batch run sees it: no viewport, and a serial line
// that delivers one prepared piece of the stream per poll tick.
#pragma once

#include <utility>
#include <string>
#include <vector>

#include "ViewerHost.h"

namespace meshgrid {

// Cuts a serial stream after every ">"; the rest after the last ">" is a piece too.
std::vector<std::string> cutAfterEachFrameEnd(const std::string& stream);

class BatchHost : public meshscope::ViewerHost {
public:
    explicit BatchHost(std::string programName) : programName_(std::move(programName)) {}

    // Queues the text the next poll tick will find waiting.
    void deliver(std::string piece) { waiting_ = std::move(piece); }

    void sceneSetup() override {}
    void RequestRedraw() override {}
    int InBufferCount() override { return static_cast<int>(waiting_.size()); }
    std::string Input() override { return std::exchange(waiting_, {}); }
    bool pollTimerEnabled() const override { return pollTimerEnabled_; }
    void setPollTimerEnabled(bool enabled) override { pollTimerEnabled_ = enabled; }
    void setStatusText(const std::string&) override {}
    void reportProblem(const std::string& message) override;

private:
    std::string programName_;
    std::string waiting_;
    bool pollTimerEnabled_ = true;
};

}  // namespace meshgrid
