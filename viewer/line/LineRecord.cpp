#include "LineRecord.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace meshscope {

LineRecord::~LineRecord()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::string> LineRecord::open(const std::string& path)
{
    // Opened without waiting, so a pipe that nobody reads is refused at once
    // instead of holding up the start; writes then wait as usual.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return "cannot record to " + path + ": " + std::strerror(errno) + " (choose a writable file with --record)";
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    path_ = path;
    return std::nullopt;
}

std::optional<std::string> LineRecord::append(std::string_view bytes)
{
    if (fd_ < 0 || bytes.empty())
        return std::nullopt;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return stop(n < 0 ? std::strerror(errno) : "nothing could be written");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    // Writes to a deleted file succeed but keep nothing a user could find.
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_nlink == 0)
        return stop("the file was removed");
    return std::nullopt;
}

std::optional<std::string> LineRecord::stop(const std::string& reason)
{
    ::close(fd_);
    fd_ = -1;
    return "stopped recording to " + path_ + ": " + reason + " (the viewer runs on without recording)";
}

} // namespace meshscope
