// The data file: grid samples "x y z", one per line.
#pragma once

#include <cstdint>
#include <string>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// Data files larger than this are refused unread.
constexpr std::uint64_t kDataFileLimit = 256ull << 20;

// Reads the samples of the file at path into rawHeights, replaces the data
// extent with the file's own (when it holds any sample) and runs UpdateData. Malformed lines are skipped and
// reported in one line. A file that cannot be read, is not a regular file or
// is larger than kDataFileLimit is reported in one line and changes nothing.
// Returns false when the file was not read.
bool CheckFile(ViewerState& state, ViewerHost& host, const std::string& path);

// The same over text already read; sourceName names it in reports.
void readSamples(ViewerState& state, ViewerHost& host, const std::string& text, const std::string& sourceName);

} // namespace meshscope
