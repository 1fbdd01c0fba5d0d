#include "BatchHost.h"

#include <iostream>

namespace meshgrid {

std::vector<std::string> cutAfterEachFrameEnd(const std::string& stream)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < stream.size()) {
        const std::size_t close = stream.find('>', start);
        const std::size_t end = close == std::string::npos ? stream.size() : close + 1;
        pieces.push_back(stream.substr(start, end - start));
        start = end;
    }
    return pieces;
}

void BatchHost::reportProblem(const std::string& message)
{
    std::cerr << programName_ << ": " << message << '\n';
}

}  // namespace meshgrid
