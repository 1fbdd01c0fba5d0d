#pragma once

#include <cstdint>
#include <optional>

// The output rate in bits per second that the terminal open as fd runs at,
// as its driver reports it; empty when it cannot be read.
std::optional<std::int32_t> terminalRate(int fd);
