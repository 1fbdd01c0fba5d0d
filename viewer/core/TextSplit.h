// Splitting frame and data-file text at a separator character.
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

}  // namespace meshscope
