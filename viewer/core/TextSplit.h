// Splitting frame and data-file text at a separator character, and a serial
// stream into the pieces a frame's ">" ends.
#pragma once

#include <string_view>
#include <vector>

namespace meshscope {

// Every piece between separators, empty pieces included: "a;;b" gives three.
inline std::vector<std::string_view> splitAt(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// The text cut after every separator: "<a><b" gives "<a>" and "<b", so only
// a last piece can lack its separator; empty text gives no piece.
inline std::vector<std::string_view> splitAfter(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find(separator, start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        pieces.push_back(text.substr(start, next - start));
        start = next;
    }
    return pieces;
}

} // namespace meshscope
