// A copy of the line's stream on disk: every byte read from the serial port
// or network source is appended to a file, unchanged and in order, as soon as
// it is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meshscope {

class LineRecord {
public:
    LineRecord() = default;
    ~LineRecord();
    LineRecord(const LineRecord&) = delete;
    LineRecord& operator=(const LineRecord&) = delete;

    // Opens path for appending, creating it if missing; an existing file is
    // never truncated. Returns the one-line reason when it cannot be opened.
    std::optional<std::string> open(const std::string& path);

    bool active() const { return fd_ >= 0; }

    // Writes the bytes before returning, so at most the bytes of one read
    // can be lost in a crash. The first failure (disk full, file removed)
    // stops the recording and returns its message; later calls do nothing.
    std::optional<std::string> append(std::string_view bytes);

private:
    std::optional<std::string> stop(const std::string& reason);

    int fd_ = -1;
    std::string path_;
};

} // namespace meshscope
