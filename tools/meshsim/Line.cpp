#include "Line.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
sigset_t waitMask; // the mask in force while waiting: stop signals let through

void onStopSignal(int)
{
    stopRequested = 1;
}

std::system_error systemError(const std::string& what)
{
    return std::system_error(errno, std::generic_category(), what);
}

termios rawSettings()
{
    termios settings{};
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&settings, B115200);
    return settings;
}

bool isHangUp(int error)
{
    return error == EIO || error == EPIPE || error == ENXIO || error == ECONNRESET;
}

std::string addressText(const std::string& scheme, const sockaddr_storage& address)
{
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host, port, sizeof port,
                NI_NUMERICHOST | NI_NUMERICSERV);
    const std::string h = host;
    return scheme + "://" + (h.find(':') != std::string::npos ? "[" + h + "]" : h) + ":" + port;
}

// The addresses a host and port name; throws with the resolver's reason.
addrinfo* resolve(const lineaddress::Address& address, int type, bool passive, const std::string& text)
{
    const std::string port = std::to_string(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(address.host.empty() ? nullptr : address.host.c_str(), port.c_str(), &hints, &found);
    if (error != 0)
        throw std::runtime_error("cannot use " + text + ": " + gai_strerror(error));
    return found;
}

} // namespace

long long nanosecondsUntil(const timespec& deadline)
{
    const timespec now = monotonicNow();
    return (deadline.tv_sec - now.tv_sec) * 1'000'000'000LL + (deadline.tv_nsec - now.tv_nsec);
}

int waitFor(int fd, short events, long long timeoutNs, short& revents)
{
    pollfd entry{fd, events, 0};
    const timespec timeout{time_t(timeoutNs / 1'000'000'000LL), long(timeoutNs % 1'000'000'000LL)};
    const int ready = ppoll(fd >= 0 ? &entry : nullptr, fd >= 0 ? 1 : 0, &timeout, &waitMask);
    revents = entry.revents;
    return ready;
}

bool stopSignalled()
{
    return stopRequested != 0;
}

void installStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopSignals, signal);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigdelset(&waitMask, signal);

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

timespec monotonicNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

timespec addNanoseconds(timespec t, long long ns)
{
    const long long total = t.tv_nsec + ns;
    t.tv_sec += time_t(total / 1'000'000'000LL);
    t.tv_nsec = long(total % 1'000'000'000LL);
    return t;
}

Line::Line(int fd, std::string path, Kind kind)
    : fd_(fd), path_(std::move(path)), kind_(kind), pseudoTerminal_(kind == Kind::PseudoTerminal)
{
}

Line::Line(Line&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), kind_(other.kind_),
      pseudoTerminal_(other.pseudoTerminal_)
{
}

Line::~Line()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Line Line::openPseudoTerminal()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios settings = rawSettings();
    if (openpty(&master, &slave, name, &settings, nullptr) != 0)
        throw systemError("cannot open a pseudo-terminal");
    // Only the reader holds the slave open, so the master sees it come and go.
    ::close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    return Line(master, name, Kind::PseudoTerminal);
}

Line Line::openDevice(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw systemError("cannot open " + path);
    Line line(fd, path, Kind::Device);
    if (!isatty(fd))
        throw std::runtime_error("cannot use " + path + ": not a terminal device");
    const termios settings = rawSettings();
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        throw systemError("cannot set " + path + " raw at 115200 baud");
    return line;
}

bool Line::readerGone() const
{
    if (kind_ == Kind::Datagrams)
        return false;
    pollfd entry{fd_, 0, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR)) != 0;
}

Outcome Line::waitForReader()
{
    if (!pseudoTerminal_)
        return Outcome::Done;
    // The master reports a hang-up for as long as no one has the slave open.
    while (readerGone()) {
        if (stopRequested)
            return Outcome::Stopped;
        short revents = 0;
        waitFor(-1, 0, 20'000'000, revents);
    }
    return stopRequested ? Outcome::Stopped : Outcome::Done;
}

Outcome Line::send(const std::string& bytes)
{
    if (kind_ == Kind::Datagrams) {
        // Nobody listening yet shows as a refused send: the viewer may come later.
        if (::send(fd_, bytes.data(), bytes.size(), 0) < 0 && errno != ECONNREFUSED && errno != EINTR)
            throw systemError("cannot send to " + path_);
        return stopRequested ? Outcome::Stopped : Outcome::Done;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stopRequested)
            return Outcome::Stopped;
        if (readerGone())
            return Outcome::HungUp;
        const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += std::size_t(written);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (isHangUp(errno))
            return Outcome::HungUp;
        if (errno != EAGAIN)
            throw systemError("cannot write to " + path_);
        short revents = 0;
        waitFor(fd_, POLLOUT, 100'000'000, revents);
    }
    return Outcome::Done;
}

Outcome Line::waitUntil(const timespec& deadline)
{
    for (;;) {
        if (stopRequested)
            return Outcome::Stopped;
        const long long remaining = nanosecondsUntil(deadline);
        if (remaining <= 0)
            return Outcome::Done;
        short revents = 0;
        // Datagrams have no reader to watch: a refusal report is no hang-up.
        if (waitFor(kind_ == Kind::Datagrams ? -1 : fd_, POLLIN, remaining, revents) <= 0)
            continue;
        if (revents & (POLLHUP | POLLERR))
            return Outcome::HungUp;
        if (revents & POLLIN) {
            char discard[512];
            const ssize_t n = ::read(fd_, discard, sizeof discard);
            if ((n < 0 && isHangUp(errno)) || (n == 0 && kind_ == Kind::Stream))
                return Outcome::HungUp;
        }
    }
}

Line Line::openDatagrams(const std::string& text)
{
    const lineaddress::Address address = lineaddress::parse(text, "udp", kSendRules);
    addrinfo* found = resolve(address, SOCK_DGRAM, false, text);
    int fd = -1;
    int error = 0;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0 || ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) {
        errno = error;
        throw systemError("cannot send to " + text);
    }
    return Line(fd, text, Kind::Datagrams);
}

Listener::Listener(const std::string& text)
{
    const lineaddress::Address address = lineaddress::parse(text, "tcp", kListenRules);
    addrinfo* found = resolve(address, SOCK_STREAM, true, text);
    int error = 0;
    for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
        fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) {
            error = errno; // kept, so the message says why no socket could be had
            continue;
        }
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd_, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd_, 4) != 0) {
            error = errno;
            ::close(fd_);
            fd_ = -1;
        }
    }
    freeaddrinfo(found);
    if (fd_ < 0) {
        errno = error;
        throw systemError("cannot listen on " + text);
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &length);
    address_ = addressText("tcp", bound);
}

Listener::~Listener()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<Line> Listener::accept()
{
    for (;;) {
        if (stopRequested)
            return std::nullopt;
        short revents = 0;
        if (waitFor(fd_, POLLIN, 1'000'000'000LL, revents) <= 0 || !(revents & POLLIN))
            continue;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        const int client = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client >= 0)
            return Line(client, addressText("tcp", peer), Line::Kind::Stream);
        if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED)
            throw systemError("cannot accept a client on " + address_);
    }
}
