// The data file: grid samples "x y z", one per line.
#pragma once

#include <string>

#include "ViewerHost.h"
#include "ViewerState.h"

namespace meshscope {

// Reads the samples of the file at path into rawHeights, widens the data
// extent over them and runs UpdateData. Malformed lines are skipped and
// reported in one line; an unreadable file is reported and changes nothing.
// Returns false when the file could not be read.
bool CheckFile(ViewerState& state, ViewerHost& host, const std::string& path);

// The same over text already read; sourceName names it in reports.
void readSamples(ViewerState& state, ViewerHost& host, const std::string& text, const std::string& sourceName);

}  // namespace meshscope
