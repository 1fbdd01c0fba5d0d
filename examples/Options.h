#pragma once
// Vorn's command line: its options, their help and their checks.

#include <QString>

#include <optional>

// Vorn's version, as -v/--version says it.
QString versionText();

// What the command line asks of Vorn.
struct Options {
    std::optional<QString> screenshot;
};

// Reads main's arguments into options. Returns the exit status when the
// program ends here: 0 after the help or the version, 2 after a line that
// says what is wrong with the command line.
std::optional<int> readOptions(int argc, char** argv, Options& options);
