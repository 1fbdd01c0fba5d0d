#include "DataFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DecimalNumber.h"
#include "FileChunks.h"
#include "TextSplit.h"
#include "Interpolation.h"

namespace meshscope {

namespace {

constexpr int kGridLast = kGridSize - 1;

struct Sample {
    std::int16_t x;
    std::int16_t y;
    float z;
};

// A column or row index: read as a Single, rounded half to even, within 0..200.
std::optional<std::int16_t> readIndex(std::string_view field)
{
    const auto value = parseDecimal(field);
    if (!value)
        return std::nullopt;
    const float single = static_cast<float>(*value);
    const auto index = roundToInt16(single);
    if (!index || *index < 0 || *index > kGridLast)
        return std::nullopt;
    return index;
}

std::optional<Sample> readSample(std::string_view line)
{
    const auto fields = splitAt(line, ' ');
    if (fields.size() < 3)
        return std::nullopt;
    const auto x = readIndex(fields[0]);
    const auto y = readIndex(fields[1]);
    const auto z = parseDecimal(fields[2]);
    if (!x || !y || !z)
        return std::nullopt;
    const float height = static_cast<float>(*z);
    if (!std::isfinite(height))
        return std::nullopt;
    return Sample{*x, *y, height};
}

// Takes the text piece by piece as it comes from the file and keeps of each
// line only what its first three fields need, so memory follows the grid,
// not the file. Samples go to a copy of the grid, kept only once the whole
// text was read.
class SampleReader {
public:
    SampleReader(const ViewerState& state, std::string sourceName)
        : grid_(std::make_unique<HeightGrid>(state.rawHeights)), sourceName_(std::move(sourceName))
    {
    }

    void feed(std::string_view piece)
    {
        for (const char c : piece) {
            if (atTextStart_ && c == ' ')
                continue; // blanks at the start of the text
            atTextStart_ = false;
            if (c == '\n') {
                if (!restIgnored_ && !line_.empty() && line_.back() == '\r')
                    line_.pop_back();
                endLine();
            } else if (!restIgnored_) {
                keep(c);
            }
        }
    }

    // The text has ended: reads its last line, writes the samples into state,
    // reports skipped lines and runs UpdateData.
    void finish(ViewerState& state, ViewerHost& host)
    {
        if (!restIgnored_) {
            // Blanks at the end of the text are not part of its last line.
            const std::size_t end = line_.find_last_not_of(' ');
            line_.erase(end == std::string::npos ? 0 : end + 1);
        }
        endLine();
        state.rawHeights = *grid_;
        if (extent_) {
            state.minX = extent_->minX;
            state.maxX = extent_->maxX;
            state.minY = extent_->minY;
            state.maxY = extent_->maxY;
        }
        if (skipped_ > 0) {
            std::ostringstream message;
            message << sourceName_ << ": skipped " << skipped_ << (skipped_ == 1 ? " line that is" : " lines that are")
                    << " not \"x y z\" with x and y within 0..200, first at line " << firstSkippedLine_
                    << " (fix or remove " << (skipped_ == 1 ? "it)" : "them)");
            host.reportProblem(message.str());
        }
        UpdateData(state, host);
    }

private:
    // A sample's three fields are far shorter; a longer start of a line is not one.
    static constexpr std::size_t kLongestFields = 64 * 1024;

    struct Extent {
        std::int16_t minX, maxX, minY, maxY;
    };

    void keep(char c)
    {
        // Fields after the third are ignored, so the third blank ends what is kept.
        if (c == ' ' && ++blanks_ == 3) {
            restIgnored_ = true;
            return;
        }
        line_.push_back(c);
        if (line_.size() > kLongestFields) {
            tooLong_ = true;
            restIgnored_ = true;
        }
    }

    void endLine()
    {
        ++lineNumber_;
        if (!line_.empty() || restIgnored_)
            readLine();
        line_.clear();
        blanks_ = 0;
        restIgnored_ = false;
        tooLong_ = false;
    }

    void readLine()
    {
        const auto sample = tooLong_ ? std::nullopt : readSample(line_);
        if (!sample) {
            if (skipped_++ == 0)
                firstSkippedLine_ = lineNumber_;
            return;
        }
        (*grid_)[sample->x][sample->y] = sample->z;
        if (!extent_)
            extent_ = Extent{sample->x, sample->x, sample->y, sample->y};
        extent_->maxX = std::max(extent_->maxX, sample->x);
        extent_->maxY = std::max(extent_->maxY, sample->y);
        extent_->minX = std::min(extent_->minX, sample->x);
        extent_->minY = std::min(extent_->minY, sample->y);
    }

    std::unique_ptr<HeightGrid> grid_;
    std::string sourceName_;
    std::optional<Extent> extent_;
    std::string line_;
    int blanks_ = 0;
    bool restIgnored_ = false;
    bool tooLong_ = false;
    bool atTextStart_ = true;
    std::size_t lineNumber_ = 0;
    std::size_t skipped_ = 0;
    std::size_t firstSkippedLine_ = 0;
};

// How reports name the file: a relative name with the directory it is read in.
std::string placeOf(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::error_code error;
    const auto directory = std::filesystem::current_path(error);
    return error ? path : path + " in " + directory.string();
}

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

constexpr const char* kOtherFileAdvice = " (use --data FILE to read another file)";

} // namespace

void readSamples(ViewerState& state, ViewerHost& host, const std::string& content, const std::string& sourceName)
{
    SampleReader reader(state, sourceName);
    reader.feed(content);
    reader.finish(state, host);
}

bool CheckFile(ViewerState& state, ViewerHost& host, const std::string& path)
{
    // Without blocking, so a FIFO with no writer cannot hold the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        host.reportProblem("cannot open " + placeOf(path) + ": " + std::strerror(errno) + kOtherFileAdvice);
        return false;
    }
    const auto refuse = [&](const std::string& why) {
        ::close(fd);
        host.reportProblem(placeOf(path) + " " + why + "; not read" + kOtherFileAdvice);
        return false;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return refuse(std::string("cannot be examined: ") + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return refuse(std::string("is ") + kindOf(info.st_mode) + ", not a regular file");
    const std::string tooLarge
        = "is larger than the " + std::to_string(kDataFileLimit >> 20) + " MiB a data file may hold";
    if (static_cast<std::uint64_t>(info.st_size) > kDataFileLimit)
        return refuse(tooLarge);

    SampleReader reader(state, path);
    std::uint64_t total = 0;
    bool grew = false;
    const int readError = readInChunks(fd, [&](std::string_view piece) {
        total += piece.size();
        grew = total > kDataFileLimit; // it grew while being read
        if (!grew)
            reader.feed(piece);
        return !grew;
    });
    if (readError != 0) {
        ::close(fd);
        host.reportProblem("cannot read " + placeOf(path) + ": " + std::strerror(readError) + kOtherFileAdvice);
        return false;
    }
    if (grew)
        return refuse(tooLarge);
    ::close(fd);
    reader.finish(state, host);
    return true;
}

} // namespace meshscope
