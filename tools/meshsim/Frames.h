#pragma once

#include <cstdint>
#include <random>
#include <string>

// Frame number `index` of a surface that drifts slowly with time: `points`
// samples at well-spread columns and rows 1..100, integer heights 0..50.
std::string waveFrame(long long index, int points);

// A valid frame of 2 to 21 random points, columns and rows 1..100, heights 0..60.
std::string randomFrame(std::mt19937& generator);
