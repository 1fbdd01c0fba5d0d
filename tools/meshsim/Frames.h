#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The device's reference frame, character for character.
inline constexpr const char* kReferenceFrame = "<66,66,70; 100,100,10; 1,66,10; 100,33,10; 66,100,10>";

// Frame number `index` of a surface that drifts slowly with time: `points`
// samples at well-spread columns and rows 1..100, integer heights 0..50.
std::string waveFrame(long long index, int points);

// A valid frame of 2 to 21 random points, columns and rows 1..100, heights 0..60.
std::string randomFrame(std::mt19937& generator);

// A capture's bytes cut after each '>', the rest as a last piece.
std::vector<std::string> replayPieces(const std::string& bytes);
