// The device end of a raw pseudo-terminal: path() is what a viewer opens, and
// the test writes frames or noise into the other end.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyDevice {
public:
    PtyDevice()
    {
        char name[128] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed: " << std::strerror(errno);
            return;
        }
        // Viewers started as processes must not inherit either end, or the
        // device would never look closed to them.
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        // Never block: a writer must notice when it is told to stop.
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = name;
    }
    ~PtyDevice() { hangUp(); }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& path() const { return path_; }

    // Writes all of text, waiting while the terminal's buffer is full; gives
    // up once *abandon turns true (a flood being stopped).
    void send(const std::string& text, const std::atomic<bool>* abandon = nullptr) const
    {
        std::size_t done = 0;
        while (done < text.size() && master_ >= 0 && !(abandon && *abandon)) {
            const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd writable{master_, POLLOUT, 0};
                ::poll(&writable, 1, 50);
            } else if (n < 0 && errno != EINTR) {
                ADD_FAILURE() << "writing to the pseudo-terminal failed: " << std::strerror(errno);
                return;
            }
        }
    }

    // The line speed the terminal end was last set to (B9600, B115200 ...).
    speed_t lineSpeed() const
    {
        termios line{};
        return ::tcgetattr(master_, &line) == 0 ? ::cfgetospeed(&line) : speed_t(B0);
    }

    // Our copy of the terminal end; closed so only the viewer holds it.
    void releaseTerminalEnd()
    {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }

    // Closes both ends, as an unplugged adapter or an ended simulator would.
    void hangUp()
    {
        releaseTerminalEnd();
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
