// "program: text", the one form of every line the programs write about
// themselves on standard error. Plain C++, so the tools write it too.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vorn {

// Writes "program: text" as one line on standard error; a line break inside
// text becomes a space, so the line stays one.
inline void writeProgramLine(std::string_view program, std::string_view text)
{
    std::string line;
    line.reserve(program.size() + 2 + text.size() + 1);
    line.append(program).append(": ").append(text);
    for (char& c : line)
        if (c == '\n')
            c = ' ';
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace vorn
