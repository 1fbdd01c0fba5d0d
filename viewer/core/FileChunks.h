// Reading a file descriptor piece by piece, so memory stays bounded whatever
// the file's size.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace meshscope {

// Hands each piece read from fd to take, until the end of the file or until
// take returns false. Returns 0, or the errno of the read that failed.
template <class Take>
int readInChunks(int fd, Take&& take)
{
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (!take(std::string_view(chunk.data(), static_cast<std::size_t>(got))))
            return 0;
    }
}

} // namespace meshscope
