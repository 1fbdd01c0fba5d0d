#pragma once

// Random bytes of which about half are "<" and ">", the characters that make
// the parser cut frames.

#include <cstddef>
#include <random>
#include <string>

inline std::string frameNoise(std::mt19937& random, std::size_t length)
{
    std::string text(length, '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& c : text) {
        const int b = byte(random);
        c = b < 64 ? '<' : b < 128 ? '>' : static_cast<char>(byte(random));
    }
    return text;
}
