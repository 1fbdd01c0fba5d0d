// The command-line convention of every program (the Qt programs follow it
// through CommandLine): -h/--help and -v/--version answer on standard output
// with exit status 0; a bad command line is one line "program: what (see
// program --help)" on standard error and exit status 2.
#pragma once

#include <iostream>
#include <string>
#include <string_view>

namespace usage {

constexpr int kBadCommandLine = 2;

inline bool isHelpOption(std::string_view arg)
{
    return arg == "-h" || arg == "--help";
}
inline bool isVersionOption(std::string_view arg)
{
    return arg == "-v" || arg == "--version";
}

// " (see program --help)", the advice a bad command line ends with.
inline std::string seeHelp(std::string_view program)
{
    return " (see " + std::string(program) + " --help)";
}

// Writes "program: what" as one line on standard error; returns 2.
inline int failCommandLine(std::string_view program, std::string_view what)
{
    std::cerr << program << ": " << what << '\n';
    return kBadCommandLine;
}

// The answer to -v/--version.
inline void printVersion(std::string_view program, std::string_view version)
{
    std::cout << program << ' ' << version << '\n';
}

} // namespace usage
