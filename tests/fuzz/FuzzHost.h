// A window stand-in for the fuzz targets: hands the serial chunk it is given
// to the core and drops everything the core asks of the display.
#pragma once

#include <string>
#include <utility>

#include "ViewerHost.h"

namespace meshscope::fuzz {

class FuzzHost : public NullHost {
public:
    std::string waiting;
    std::string status;
    int problems = 0;

    int InBufferCount() override { return static_cast<int>(waiting.size()); }
    std::string Input() override { return std::exchange(waiting, {}); }
    void setStatusText(const std::string& text) override { status = text; }
    void reportProblem(const std::string&) override { ++problems; }
};

// Stops the run with a message naming the broken property; libFuzzer saves
// the input that caused it.
[[noreturn]] void fail(const char* what);

} // namespace meshscope::fuzz
