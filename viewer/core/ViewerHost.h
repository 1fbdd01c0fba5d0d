// What the core needs from the viewer: its viewport, serial control and timers.
#pragma once

#include <string>

namespace meshscope {

class ViewerHost {
public:
    virtual ~ViewerHost() = default;

    // Re-runs the viewport's scene set-up (projection, lights, animation timer).
    virtual void sceneSetup() = 0;
    // Asks the viewport to paint again.
    virtual void RequestRedraw() = 0;

    // The serial control: characters waiting, and all of them taken as text.
    virtual int InBufferCount() = 0;
    virtual std::string Input() = 0;

    // The serial poll timer's enabled flag.
    virtual bool pollTimerEnabled() const = 0;
    virtual void setPollTimerEnabled(bool enabled) = 0;

    virtual void setStatusText(const std::string& text) = 0;
    // A one-line problem (e.g. an unreadable data file) for standard error.
    virtual void reportProblem(const std::string& message) = 0;
};

// A window with nothing behind it: no viewport, a silent serial line, a poll
// timer that is only a flag, and nowhere to show text. Batch runs, benchmarks
// and fuzzers derive from it and override what they feed or watch.
class NullHost : public ViewerHost {
public:
    void sceneSetup() override {}
    void RequestRedraw() override {}
    int InBufferCount() override { return 0; }
    std::string Input() override { return {}; }
    bool pollTimerEnabled() const override { return pollTimerEnabled_; }
    void setPollTimerEnabled(bool enabled) override { pollTimerEnabled_ = enabled; }
    void setStatusText(const std::string&) override {}
    void reportProblem(const std::string&) override {}

private:
    bool pollTimerEnabled_ = true;
};

} // namespace meshscope
