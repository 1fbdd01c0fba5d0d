// "program: text", the one form of every line the programs write about
// themselves on standard error. Plain C++, so the tools write it too.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vorn {

// Writes "program: text" as one line on standard error; a line break or
// carriage return inside text (a value as given) is written as "\n" or
// "\r", so the line stays one and still shows what was given.
inline void writeProgramLine(std::string_view program, std::string_view text)
{
    std::string line;
    line.reserve(program.size() + 2 + text.size() + 1);
    line.append(program).append(": ");
    for (const char c : text) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else
            line += c;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace vorn
