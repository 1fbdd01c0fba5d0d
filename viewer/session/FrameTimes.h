#pragma once

// When MESHSCOPE_FRAME_TIMES names a file, one line per presented frame goes
// to it, in steady-clock nanoseconds: the poll that took the frame (start and
// end, 0 0 when the paint shows no newly taken frame), the paint's start, the
// swap's end and the end of what follows the paint. Unset, it only keeps a
// flag.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace meshscope {

class FrameTimes {
public:
    FrameTimes();

    bool on() const { return file_ != nullptr; }
    // The poll's start, and that it took a new frame.
    void pollStarted()
    {
        if (on())
            pollStart_ = now();
    }
    void frameTaken()
    {
        if (on())
            taken_ = {pollStart_, now()};
    }
    void paintStarted()
    {
        if (on())
            paintStart_ = now();
    }
    void swapped()
    {
        if (on())
            swapped_ = now();
    }
    // Writes the frame's line.
    void paintEnded();

private:
    static std::int64_t now()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::int64_t pollStart_ = 0;
    struct Poll {
        std::int64_t start = 0;
        std::int64_t end = 0;
    } taken_;
    std::int64_t paintStart_ = 0;
    std::int64_t swapped_ = 0;
};

} // namespace meshscope
