#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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
    bool help = false;
    bool version = false;
};

// A command line that cannot be used; what() is the one-line reason.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options parseOptions(const std::vector<std::string>& args);
const char* helpText();
