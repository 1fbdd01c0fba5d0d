#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class Pattern { Reference, Wave, Random };

struct Options {
    double rate = 10.0; // frames per second
    Pattern pattern = Pattern::Reference;
    int points = 9;                    // points per wave frame
    std::optional<long long> count;    // stop after this many frames
    std::string replayFile;            // send this capture instead of a pattern
    std::string devicePath;            // write here instead of a new pseudo-terminal
    std::string listen;                // serve each TCP client here instead
    std::string send;                  // send datagrams here instead
    std::string publish;               // publish to this MQTT topic instead
    std::optional<std::uint32_t> seed; // for the random pattern
};

// Reads main's arguments into options. Returns the exit status when the
// program ends here: 0 after the help or the version, 2 after a line that
// says what is wrong with the command line.
std::optional<int> readOptions(int argc, char** argv, Options& options);
