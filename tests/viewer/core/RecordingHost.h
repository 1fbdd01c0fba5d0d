// A stand-in for the viewer window that records what the core asked of it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope::recording {

class RecordingHost : public ViewerHost {
public:
    std::string waiting; // characters the serial control holds
    bool pollEnabled = true;
    int sceneSetups = 0;
    int redraws = 0;
    int inputReads = 0;
    std::vector<std::string> statusTexts;
    std::vector<std::string> problems;

    void sceneSetup() override { ++sceneSetups; }
    void RequestRedraw() override { ++redraws; }
    int InBufferCount() override { return static_cast<int>(waiting.size()); }
    std::string Input() override
    {
        ++inputReads;
        return std::exchange(waiting, {});
    }
    bool pollTimerEnabled() const override { return pollEnabled; }
    void setPollTimerEnabled(bool enabled) override { pollEnabled = enabled; }
    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void reportProblem(const std::string& message) override { problems.push_back(message); }
};

// A state with the start values of a freshly loaded window.
inline std::unique_ptr<ViewerState> startedState()
{
    auto state = std::make_unique<ViewerState>();
    applyStartValues(*state);
    return state;
}

} // namespace meshscope::recording
