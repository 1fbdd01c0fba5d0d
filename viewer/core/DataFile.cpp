#include "DataFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "DecimalNumber.h"
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
    if (!value) return std::nullopt;
    const float single = static_cast<float>(*value);
    const auto index = roundToInt16(single);
    if (!index || *index < 0 || *index > kGridLast) return std::nullopt;
    return index;
}

std::optional<Sample> readSample(std::string_view line)
{
    const auto fields = splitAt(line, ' ');
    if (fields.size() < 3) return std::nullopt;
    const auto x = readIndex(fields[0]);
    const auto y = readIndex(fields[1]);
    const auto z = parseDecimal(fields[2]);
    if (!x || !y || !z) return std::nullopt;
    const float height = static_cast<float>(*z);
    if (!std::isfinite(height)) return std::nullopt;
    return Sample{*x, *y, height};
}

// CR LF line ends become LF; a CR anywhere else stays.
std::string withLfLineEnds(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        result.push_back(text[i]);
    }
    return result;
}

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void readSamples(ViewerState& state, ViewerHost& host, const std::string& content, const std::string& sourceName)
{
    const std::string text = withLfLineEnds(content);
    const auto lines = splitAt(trimBlanks(text), '\n');

    bool first = true;
    std::size_t skipped = 0;
    std::size_t firstSkippedLine = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const auto sample = readSample(lines[i]);
        if (!sample) {
            if (skipped++ == 0) firstSkippedLine = i + 1;
            continue;
        }
        state.rawHeights[sample->x][sample->y] = sample->z;
        if (first) {
            first = false;
            state.maxX = state.minX = sample->x;
            state.maxY = state.minY = sample->y;
        }
        state.maxX = std::max(state.maxX, sample->x);
        state.maxY = std::max(state.maxY, sample->y);
        state.minX = std::min(state.minX, sample->x);
        state.minY = std::min(state.minY, sample->y);
    }

    if (skipped > 0) {
        std::ostringstream message;
        message << sourceName << ": skipped " << skipped
                << (skipped == 1 ? " line that is" : " lines that are")
                << " not \"x y z\" with x and y within 0..200, first at line " << firstSkippedLine
                << " (fix or remove " << (skipped == 1 ? "it)" : "them)");
        host.reportProblem(message.str());
    }
    UpdateData(state, host);
}

bool CheckFile(ViewerState& state, ViewerHost& host, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        host.reportProblem("cannot open " + path + ": " + std::strerror(errno) +
                           " (check that the file exists and is readable)");
        return false;
    }
    std::string content;
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        host.reportProblem("cannot read " + path + ": " + std::strerror(readError) +
                           " (check that it is a readable text file)");
        return false;
    }
    readSamples(state, host, content, path);
    return true;
}

}  // namespace meshscope
